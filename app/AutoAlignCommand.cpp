#include "AutoAlignCommand.h"

#include "Form.h"
#include "FormCells.h"
#include "FormFit.h"
#include "FormUndo.h"
#include "PrintPreview.h"
#include "UserDialogs.h"

#include <QGuiApplication>

void AutoAlignCommand(Form& form, FormUndo& undo, const PreviewScan& shown, UserDialogs& dialogs) {
    if (shown.image.isNull()) {
        dialogs.tell(AutoAlignMessages::noScan());
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<QRectF> cells = FormCells::find(shown.image, shown.pageRect);
    FormFit::Result result;
    if (!cells.empty())
        undo.edit(FormUndo::Step::AutoFit, [&] { result = FormFit::fit(form, cells); });
    QGuiApplication::restoreOverrideCursor();
    if (cells.empty()) {
        dialogs.tell(AutoAlignMessages::noCells());
        return;
    }
    form.CtlSelect(false);
    for (int i : result.unfitted)
        form.setSelected(i, true);
    dialogs.tell(AutoAlignMessages::done(result.fitted, static_cast<int>(result.unfitted.size())));
}

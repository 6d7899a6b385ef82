#include "FormScanSetup.h"

#include "FormScanDialog.h"
#include "PageWidget.h"
#include "UserDialogs.h"

#include <QCheckBox>
#include "UserSettings.h"

#include <QSettings>

namespace {

const QString ShownKey = QStringLiteral("FormScan/Shown");

} // namespace

FormScanSetup::FormScanSetup(DataBase& db, UserDialogs& dialogs, PageWidget& page, QCheckBox& shown,
                             QWidget* dialogParent)
    : QObject(&page), m_store(db), m_dialogs(dialogs), m_page(page), m_shown(shown),
      m_dialogParent(dialogParent) {
    m_shown.setChecked(userSettings().value(ShownKey, false).toBool());
    connect(&m_shown, &QCheckBox::toggled, this, [this](bool on) {
        userSettings().setValue(ShownKey, on);
        showOnPage();
    });
}

FormScanSetup::Kept& FormScanSetup::kept(Mode mode) {
    Kept& k = m_kept[static_cast<std::size_t>(mode)];
    if (k.read)
        return k;
    // A store that cannot be read is told once; the page goes on without a scan.
    if (const std::optional<FormScan> stored = m_store.load(mode)) {
        k.scan = *stored;
        if (!k.scan.isEmpty())
            k.picture = FormScanImage::decode(k.scan.bytes).value_or(QImage());
    } else {
        m_dialogs.tellDatabaseError(m_store.failureDetails());
    }
    k.read = true;
    return k;
}

void FormScanSetup::showOnPage() {
    if (!m_shown.isChecked()) {
        m_page.setFormScanShown(false);
        return;
    }
    const Kept& k = kept(m_mode);
    m_page.setFormScan(k.picture, k.scan.pageRect());
    m_page.setFormScanShown(true);
}

void FormScanSetup::showMode(Mode mode) {
    m_mode = mode;
    showOnPage();
}

PreviewScan FormScanSetup::previewScan(Mode mode) {
    const Kept& k = kept(mode);
    return {k.picture, k.scan.pageRect()};
}

PreviewScan FormScanSetup::shownScan() {
    if (!m_shown.isChecked())
        return {};
    return previewScan(m_mode);
}

void FormScanSetup::openDialog() {
    Kept& k = kept(m_mode);
    FormScanDialog dialog(k.scan, k.picture, Catalogue::modeInfo(m_mode).tabCaption, m_dialogs,
                          m_dialogParent);
    // While the dialog is open the page shows what it holds, ticked or not.
    connect(&dialog, &FormScanDialog::changed, this, [&] {
        m_page.setFormScan(dialog.picture(), dialog.scan().pageRect());
        m_page.setFormScanShown(true);
    });
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const bool changed = accepted && !(dialog.scan() == k.scan);
    if (changed && !m_store.save(m_mode, dialog.scan())) {
        m_dialogs.tellDatabaseError(m_store.failureDetails());
    } else if (changed) {
        const bool chosen = k.scan.bytes != dialog.scan().bytes && !dialog.scan().isEmpty();
        k.scan = dialog.scan();
        k.picture = dialog.picture();
        // A scan just chosen is what the clerk wants to see.
        if (chosen)
            m_shown.setChecked(true);
    }
    showOnPage();
}

#include "SaveContents.h"

#include "DataBase.h"
#include "Form.h"
#include "UserDialogs.h"

void SaveContents(Form& form, Mode mode, DataBase& db) {
    if (!form.ContentChanged()) {
        db.dialogs().tell(QStringLiteral("同样内容已经保存过！"));
        return;
    }
    int ord = 0;
    if (!db.SaveHistoryRecord(form, Catalogue::modeWord(mode), ord))
        return; // the database message was shown; the flag stays set
    form.setContentChanged(false);
    db.dialogs().tell(QStringLiteral("报关单内容已存入历史记录！"));
}

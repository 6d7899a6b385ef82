#include "SaveContents.h"

#include "DataBase.h"
#include "Form.h"
#include "UserDialogs.h"

void SaveContents(Form& form, Mode mode, DataBase& db, UserDialogs& dialogs) {
    if (!form.ContentChanged()) {
        dialogs.tell(QStringLiteral("同样内容已经保存过！"));
        return;
    }
    int ord = 0;
    if (!db.SaveHistoryRecord(form, mode, ord)) {
        dialogs.tellDatabaseError(db.failureDetails());
        return; // the flag stays set
    }
    form.setContentChanged(false);
    dialogs.tell(QStringLiteral("报关单内容已存入历史记录！"));
}

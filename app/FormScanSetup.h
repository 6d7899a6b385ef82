#pragma once

#include "Catalogue.h"
#include "FormScan.h"
#include "FormScans.h"
#include "PrintPreview.h"

#include <QObject>

#include <array>

class DataBase;
class PageWidget;
class QCheckBox;
class QWidget;
class UserDialogs;

// The scanned blank form of each mode behind the page: the check box "显示底图" (its
// state kept in the per-user settings), the button "设置底图…", and the scans kept in the
// database, each read and scaled down once, when first needed.
class FormScanSetup : public QObject {
    Q_OBJECT
public:
    FormScanSetup(DataBase& db, UserDialogs& dialogs, PageWidget& page, QCheckBox& shown,
                  QWidget* dialogParent);

    // The page now shows `mode`: its scan goes behind the boxes while the box is ticked.
    void showMode(Mode mode);
    // The scan of a mode as the print preview shows it; a null picture when there is none.
    PreviewScan previewScan(Mode mode);
    // The scan as the page shows it now; a null picture when none is shown.
    PreviewScan shownScan();
    // "设置底图…" for the mode shown.
    void openDialog();

private:
    struct Kept {
        FormScan scan;
        QImage picture;
        bool read = false;
    };
    Kept& kept(Mode mode);
    void showOnPage();

    FormScans m_store;
    UserDialogs& m_dialogs;
    PageWidget& m_page;
    QCheckBox& m_shown;
    QWidget* m_dialogParent = nullptr;
    std::array<Kept, 2> m_kept{};
    Mode m_mode = Mode::Import;
};

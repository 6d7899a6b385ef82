#pragma once

#include "Catalogue.h"
#include "MainWindowGeometry.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSize>

#include <array>
#include <memory>

class BoxEditor;
class BoxMouseEditing;
class CodeTables;
class CompletionIndex;
class ChangeThrottle;
class DataBase;
class Form;
class FormScanSetup;
class FormUndo;
class HistoryGrid;
struct PrintGate;
class QTimer;
class VersionCheck;
class ImageButtonStrip;
class Layouts;
class PageArea;
class PageWidget;
class RecoveryCopy;
class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Sel;
class TabStrip;
class UserDialogs;
class ZoomBar;

// The main window: the form view with the page and the command buttons, the history
// view, the help view. It runs the start-up when it is created and the exit when it
// closes, however it is closed.
class MF : public QMainWindow {
    Q_OBJECT
public:
    static QString caption();

    // `screenSizePixels` is the screen the window is laid out for (15 twips a pixel).
    MF(UserDialogs& dialogs, const QString& databasePath, QSize screenSizePixels,
       QWidget* parent = nullptr);
    ~MF() override;

    // Places the window and its controls by the screen size; run once, at start-up.
    void ResizeMF();
    // Clears the drawings of `picture` and draws the ruler grid when "显示标尺" is ticked.
    void NetLine(PageWidget& picture);
    // Lays out the canvas, labels the boxes for the form view's mode and exchanges the
    // working records as the armed flag says.
    void ApplyMode();

    Form& form() const { return *m_form; }

    Mode formMode() const;
    Mode historyMode() const;
    // Selects the form view, which reloads the form view mode's working record.
    void showFormView();
    // When the last run left typed work behind, asks whether to put it back.
    void offerRecovery();

    TabStrip* mainTabs() const { return m_sst; }
    TabStrip* historyTabs() const { return m_ss2; }
    PageWidget* page() const;
    // CD1 0..4: export, import, delete records, clear records, print again.
    QAbstractButton* imageButton(int index) const;

    // The controls whose key presses reach the box keys: the window, the canvas and its
    // viewport, the boxes, the command buttons, the check boxes, the scroll bar and the
    // main tab strip.
    QList<QWidget*> keyRoutedWidgets() const;

    // The history grid `MSF`.
    HistoryGrid& historyGrid() const { return *m_msf; }
    // The clerk's code tables, which the completion and the checks before printing read.
    CodeTables& codeTables() const { return *m_codeTables; }

    void AdjustColWidth(const QFont& font);
    void SetColColor(int col, const QColor& color);
    void SetColBKColor(int col, const QColor& color);

signals:
    // The history view was laid out for `mode`: the grid is to be filled from its table.
    void historyGridShown(Mode mode);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fitWindowFrame();
    void layOutTab();
    void layOutFormView();
    void layOutHistoryView();
    void layOutHistoryGrid();
    void layOutHelpView();
    void showLayoutDialog(bool save);
    void saveContents();
    void print();
    void printPreview();
    void buildScanAndPreviewControls();
    void buildDatabaseSettingsButton();
    // The zoom bar and "显示标签" on the mode tabs' header row.
    void buildViewControls();
    void buildBoxGeometryButton();
    void buildAutoAlignButton();
    void runExit();
    // Stores the boxes as the form view mode's working record; false when the store failed.
    bool storeWorkingRecord();
    // Shows "数据库打开错误！" with the store's reason when `ok` is false; returns `ok`.
    // The details come from `store`, the office or the local one (the recovery copy's).
    bool storeOk(bool ok, const DataBase* store = nullptr);
    const DataBase& localStore() const;
    PrintGate printGate(Mode mode);
    void connectCommands();
    void historyCommand(int index);
    void connectKeys();
    void batchPrint(bool preview);

    UserDialogs& m_dialogs;
    QSize m_screen;
    // The clerk's own Par.db, whichever store the program uses.
    QString m_localFilePath;
    std::unique_ptr<DataBase> m_db;
    std::unique_ptr<DataBase> m_localDb;
    std::unique_ptr<Layouts> m_layouts;
    std::unique_ptr<Form> m_form;
    std::unique_ptr<RecoveryCopy> m_recovery;
    ChangeThrottle* m_recoveryThrottle = nullptr;
    std::unique_ptr<FormUndo> m_undo;

    MainWindowGeometry m_geometry;
    double m_viewportTop = MainWindowGeometry::FirstViewportTop;
    bool m_armed = false;
    int m_shownView = 0; // the main tab laid out last
    bool m_exited = false;
    bool m_frameFitted = false;

    QWidget* m_central = nullptr;
    std::array<QPushButton*, 3> m_cd2{};
    TabStrip* m_sst = nullptr;
    TabStrip* m_ss1 = nullptr;
    PageArea* m_pageArea = nullptr;
    std::array<QPushButton*, 6> m_cmd{};
    QGroupBox* m_frm = nullptr;
    std::array<QCheckBox*, 2> m_chk{};
    TabStrip* m_ss2 = nullptr;
    ImageButtonStrip* m_pcd1 = nullptr;
    QWidget* m_grid = nullptr;
    QPlainTextEdit* m_txt = nullptr;
    QLineEdit* m_find = nullptr;
    QPushButton* m_batchPrint = nullptr;
    QPushButton* m_batchPreview = nullptr;
    QPointer<Sel> m_sel;

    std::unique_ptr<BoxEditor> m_editor;
    BoxMouseEditing* m_boxEditing = nullptr;
    HistoryGrid* m_msf = nullptr;
    VersionCheck* m_versionCheck = nullptr;
    QTimer* m_timer1 = nullptr;
    QList<QWidget*> m_keyRouted;

    QPushButton* m_previewButton = nullptr;
    QCheckBox* m_scanShown = nullptr;
    QPushButton* m_scanButton = nullptr;
    FormScanSetup* m_scans = nullptr;
    QPushButton* m_databaseButton = nullptr;
    ZoomBar* m_zoomBar = nullptr;
    QCheckBox* m_labelsShown = nullptr;
    QPushButton* m_boxGeometryButton = nullptr;
    QPushButton* m_codeTableButton = nullptr;
    std::unique_ptr<CodeTables> m_codeTables;
    std::unique_ptr<CompletionIndex> m_completion;
    QPushButton* m_autoAlignButton = nullptr;
};

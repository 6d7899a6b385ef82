#include "MF.h"

#include "AboutBox.h"
#include "AutoAlignCommand.h"
#include "BatchPrintCommand.h"
#include "BoxEditor.h"
#include "BoxGeometryDialog.h"
#include "BoxMouseEditing.h"
#include "BoxUndoKeys.h"
#include "CodeTableDialog.h"
#include "CodeTables.h"
#include "CompletionIndex.h"
#include "CompletionPopup.h"
#include "CalibrationPage.h"
#include "ChangeThrottle.h"
#include "DataBase.h"
#include "DatabaseSettingsDialog.h"
#include "Form.h"
#include "FormScanSetup.h"
#include "FormUndo.h"
#include "GetXlsSheet.h"
#include "HelpText.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "ImageButtons.h"
#include "ImportData.h"
#include "Layouts.h"
#include "MakerSite.h"
#include "PageArea.h"
#include "PageRenderer.h"
#include "PageWidget.h"
#include "PrintJob.h"
#include "PrintPreview.h"
#include "RecoveryCopy.h"
#include "SaveContents.h"
#include "SelDialog.h"
#include "StoreSettings.h"
#include "TabStrip.h"
#include "Units.h"
#include "UserDialogs.h"
#include "VersionCheck.h"
#include "ViewSettings.h"
#include "ZoomBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QFont boldSong9() {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

void place(QWidget* widget, const QRectF& twips) {
    widget->setGeometry(ScreenTwips::toPixelRect(twips));
}

Mode otherMode(Mode mode) {
    return mode == Mode::Export ? Mode::Import : Mode::Export;
}

} // namespace

QString MF::caption() {
    return QStringLiteral("Quillmarsh报关单打印软件1.13");
}

MF::MF(UserDialogs& dialogs, const QString& databasePath, QSize screenSizePixels, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_screen(screenSizePixels),
      m_localFilePath(databasePath),
      m_db(StoreSettings::connection().isEmpty() ? std::make_unique<DataBase>(databasePath)
                                                 : DataBase::office(StoreSettings::connection())),
      // The recovery copy stays in the clerk's own file, whatever the store: it must
      // outlive a server that is away.
      m_localDb(m_db->isOffice() ? std::make_unique<DataBase>(databasePath) : nullptr),
      m_layouts(std::make_unique<Layouts>(*m_db)), m_form(std::make_unique<Form>()),
      m_recovery(std::make_unique<RecoveryCopy>(m_localDb ? *m_localDb : *m_db)),
      m_undo(std::make_unique<FormUndo>(*m_form)) {
    setWindowTitle(caption());
    setAccessibleName(caption());

    // The caption tables are ready before the first Apply mode.
    Catalogue::captionTable(Mode::Export);
    Catalogue::captionTable(Mode::Import);

    buildControls();
    connectCommands();
    ResizeMF();
    m_form->setContentChanged(true);
    storeOk(m_layouts->LoadLayout(*m_form, Catalogue::fixedLayoutName()));

    // The version check runs once, on the first tick of the 500 ms timer.
    m_versionCheck->ResetVersionCheck();
    armTimer1(*m_timer1, *m_versionCheck, *this, MakerSite::productPage());

    // The exit also runs when the program is ended without closing the window first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MF::runExit);

    // Typed work is copied half a second after the first change, then at most every 1.5 s
    // while changes go on: a crash loses little and typing never waits for the disk.
    m_recoveryThrottle =
        new ChangeThrottle(std::chrono::milliseconds(500), std::chrono::milliseconds(1500), this);
    connect(m_recoveryThrottle, &ChangeThrottle::due, this,
            [this] { m_recovery->save(*m_form, formMode()); });
    for (auto changed : {&Form::textChanged, &Form::geometryChanged, &Form::styleChanged})
        connect(m_form.get(), changed, m_recoveryThrottle, &ChangeThrottle::changed);
}

void MF::offerRecovery() {
    const std::optional<Mode> mode = m_recovery->pending();
    // An older file read as it is says once what is off.
    for (DataBase* store : {m_db.get(), m_localDb.get()})
        if (const QString notice = store ? store->takeNotice() : QString(); !notice.isEmpty())
            m_dialogs.tell(notice);
    if (!mode)
        return;
    if (!m_dialogs.askYesNo(QStringLiteral("程序上次没有正常退出，是否恢复未保存的内容？"))) {
        storeOk(m_recovery->discard(), &localStore());
        return;
    }
    // The mode switch stores the boxes just loaded as their own working record, as any
    // switch does; then the copy replaces texts and layout in its own mode.
    showFormView();
    m_ss1->setCurrentIndex(static_cast<int>(*mode));
    storeOk(m_recovery->restore(*m_form), &localStore());
}

MF::~MF() {
    // The widgets go first: they observe the box model, which dies with the window.
    m_timer1->stop();
    delete m_sel;
    delete m_boxEditing;
    delete m_central;
}

void MF::buildControls() {
    m_central = new QWidget(this);
    setCentralWidget(m_central);

    m_sst = new TabStrip(m_central);
    m_sst->setObjectName(QStringLiteral("SST"));
    m_sst->setAccessibleName(QStringLiteral("主选项卡"));
    m_sst->tabBar()->setAccessibleName(QStringLiteral("主选项卡"));
    for (const QString& tab :
         {QStringLiteral("打印界面"), QStringLiteral("历史记录"), QStringLiteral("帮    助")})
        m_sst->addTab(tab);

    const std::array<QString, 3> topCaptions{
        QStringLiteral("版权信息"), QStringLiteral("QQ在线帮助2"), QStringLiteral("QQ在线帮助1")};
    for (std::size_t i = 0; i < 3; ++i) {
        m_cd2[i] = new QPushButton(topCaptions[i], m_central);
        m_cd2[i]->setAccessibleName(topCaptions[i]);
    }
    m_cd2[0]->setFont(boldSong9());

    // Form view.
    m_ss1 = new TabStrip;
    m_ss1->setObjectName(QStringLiteral("SS1"));
    m_ss1->setAccessibleName(QStringLiteral("报关单类型"));
    m_ss1->tabBar()->setAccessibleName(QStringLiteral("报关单类型"));
    m_ss1->addTab(Catalogue::modeInfo(Mode::Export).tabCaption);
    m_ss1->addTab(Catalogue::modeInfo(Mode::Import).tabCaption);
    m_ss1->setCurrentIndex(static_cast<int>(Mode::Import));
    m_sst->addToTab(0, m_ss1);
    m_pageArea = new PageArea(*m_form, m_ss1);

    const std::array<QString, 6> commands{
        QStringLiteral("打   印"),     QStringLiteral("保 存 格 式"),
        QStringLiteral("读 取 格 式"), QStringLiteral("清 空 内 容"),
        QStringLiteral("打 印 校 准"), QStringLiteral("保 存 内 容")};
    for (std::size_t i = 0; i < 6; ++i) {
        m_cmd[i] = new QPushButton(commands[i]);
        m_cmd[i]->setAccessibleName(commands[i]);
        m_cmd[i]->setAutoDefault(false);
        m_sst->addToTab(0, m_cmd[i]);
    }
    m_cmd[0]->setFont(boldSong9());

    m_frm = new QGroupBox;
    m_frm->setAccessibleName(QStringLiteral("格式与标尺"));
    m_sst->addToTab(0, m_frm);
    m_chk[1] = new QCheckBox(QStringLiteral("锁定格式"), m_frm);
    m_chk[1]->setAccessibleName(QStringLiteral("锁定格式"));
    m_chk[1]->setChecked(true);
    m_chk[0] = new QCheckBox(QStringLiteral("显示标尺\n单位：厘米"), m_frm);
    m_chk[0]->setAccessibleName(QStringLiteral("显示标尺 单位：厘米"));
    m_chk[0]->setChecked(false);

    // History view.
    m_ss2 = new TabStrip;
    m_ss2->setObjectName(QStringLiteral("SS2"));
    m_ss2->setAccessibleName(QStringLiteral("历史记录类型"));
    m_ss2->tabBar()->setAccessibleName(QStringLiteral("历史记录类型"));
    m_ss2->addTab(Catalogue::modeInfo(Mode::Export).tabCaption);
    m_ss2->addTab(Catalogue::modeInfo(Mode::Import).tabCaption);
    m_ss2->setCurrentIndex(static_cast<int>(Mode::Import));
    m_sst->addToTab(1, m_ss2);
    m_grid = new QWidget(m_ss2);
    m_grid->setAccessibleName(QStringLiteral("历史记录表"));
    auto* gridLayout = new QVBoxLayout(m_grid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    m_find = new QLineEdit(m_grid);
    m_find->setAccessibleName(QStringLiteral("查找"));
    m_find->setPlaceholderText(QStringLiteral("查找：输入任一栏目或打印日期中的文字 (Ctrl+F)"));
    m_find->setClearButtonEnabled(true);
    // The batch buttons share the find box's row, where they cover nothing at any size.
    auto* findRow = new QHBoxLayout;
    findRow->addWidget(m_find, 1);
    m_batchPreview = new QPushButton(QStringLiteral("批量预览"), m_grid);
    m_batchPreview->setObjectName(QStringLiteral("批量预览"));
    m_batchPrint = new QPushButton(QStringLiteral("批量打印"), m_grid);
    for (QPushButton* batch : {m_batchPreview, m_batchPrint}) {
        batch->setAccessibleName(batch->text());
        batch->setAutoDefault(false);
        findRow->addWidget(batch);
    }
    gridLayout->addLayout(findRow);
    m_msf = new HistoryGrid(*m_db, m_dialogs, m_grid);
    m_msf->setAccessibleName(QStringLiteral("历史记录表"));
    gridLayout->addWidget(m_msf);
    m_pcd1 = new ImageButtonStrip(m_ss2);

    // Help view.
    m_txt = new QPlainTextEdit;
    m_txt->setAccessibleName(QStringLiteral("使用帮助"));
    m_txt->setReadOnly(true);
    m_txt->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont helpFont(QStringLiteral("宋体"));
    helpFont.setPointSizeF(10.5);
    m_txt->setFont(helpFont);
    m_txt->setPlainText(helpText());
    m_sst->addToTab(2, m_txt);

    connect(m_sst, &TabStrip::currentChanged, this, &MF::layOutTab);
    connect(m_ss1, &TabStrip::currentChanged, this, &MF::ApplyMode);
    connect(m_ss2, &TabStrip::currentChanged, this, &MF::layOutHistoryGrid);
    connect(m_cmd[3], &QPushButton::clicked, this, [this] { m_undo->clearTexts(); });
    connect(m_cmd[5], &QPushButton::clicked, this, &MF::saveContents);
    connect(m_cmd[1], &QPushButton::clicked, this, [this] { showLayoutDialog(true); });
    connect(m_cmd[2], &QPushButton::clicked, this, [this] { showLayoutDialog(false); });
    for (QCheckBox* box : m_chk)
        connect(box, &QCheckBox::clicked, this, [this] { NetLine(*page()); });
    buildScanAndPreviewControls();
    buildDatabaseSettingsButton();
    buildViewControls();
    buildBoxGeometryButton();
    buildAutoAlignButton();
}

void MF::buildScanAndPreviewControls() {
    m_previewButton = new QPushButton(QStringLiteral("打印预览"));
    m_scanShown = new QCheckBox(QStringLiteral("显示底图"));
    m_scanButton = new QPushButton(QStringLiteral("设置底图…"));
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(m_previewButton),
                               static_cast<QAbstractButton*>(m_scanShown),
                               static_cast<QAbstractButton*>(m_scanButton)}) {
        b->setAccessibleName(b->text());
        m_sst->addToTab(0, b);
    }
    m_previewButton->setAutoDefault(false);
    m_scanButton->setAutoDefault(false);
    m_scans = new FormScanSetup(*m_db, m_dialogs, *page(), *m_scanShown, this);
    connect(m_previewButton, &QPushButton::clicked, this, &MF::printPreview);
    connect(m_scanButton, &QPushButton::clicked, m_scans, &FormScanSetup::openDialog);
    page()->setOverflowCheck([](const Box& box) { return PageRenderer::overflows(box); });

    // Keys of the form view; inside a box BoxUndoKeys answers the undo keys.
    new BoxUndoKeys(*page(), *m_undo, this);
    const auto onFormView = [this](auto&& action) {
        return [this, action] {
            if (m_sst->currentIndex() == 0)
                action();
        };
    };
    const auto shortcut = [this](const QKeySequence& keys, const std::function<void()>& action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_P), onFormView([this] { print(); }));
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
             onFormView([this] { printPreview(); }));
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), onFormView([this] { m_undo->undo(); }));
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), onFormView([this] { m_undo->redo(); }));
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
             onFormView([this] { m_undo->redo(); }));
}

void MF::buildDatabaseSettingsButton() {
    m_databaseButton = new QPushButton(QStringLiteral("数据库设置…"));
    m_databaseButton->setAccessibleName(m_databaseButton->text());
    m_databaseButton->setAutoDefault(false);
    m_sst->addToTab(0, m_databaseButton);
    connect(m_databaseButton, &QPushButton::clicked, this,
            [this] { DatabaseSettingsDialog(m_localFilePath, m_dialogs, this).exec(); });

    m_codeTables = std::make_unique<CodeTables>(*m_db);
    m_completion = std::make_unique<CompletionIndex>(*m_db, *m_codeTables);
    m_codeTableButton = new QPushButton(QStringLiteral("代码表…"), m_central);
    m_codeTableButton->setAccessibleName(m_codeTableButton->text());
    m_codeTableButton->setAutoDefault(false);
    connect(m_codeTableButton, &QPushButton::clicked, this,
            [this] { CodeTableDialog(*m_codeTables, m_dialogs, *page(), this).exec(); });
}

void MF::buildBoxGeometryButton() {
    m_boxGeometryButton = new QPushButton(QStringLiteral("位置和大小…"));
    m_boxGeometryButton->setAccessibleName(m_boxGeometryButton->text());
    m_boxGeometryButton->setAutoDefault(false);
    m_sst->addToTab(0, m_boxGeometryButton);
    connect(m_boxGeometryButton, &QPushButton::clicked, this, [this] {
        EditBoxGeometry(*m_form, *m_undo, m_editor->locked(), m_dialogs, this);
    });
}

void MF::buildViewControls() {
    m_zoomBar = new ZoomBar(*m_pageArea, m_ss1);
    m_labelsShown = new QCheckBox(QStringLiteral("显示标签"), m_ss1);
    m_labelsShown->setAccessibleName(m_labelsShown->text());
    m_labelsShown->setChecked(ViewSettings::labelsShown());
    page()->setLabelsShown(m_labelsShown->isChecked());
    connect(m_labelsShown, &QCheckBox::toggled, this, [this](bool shown) {
        page()->setLabelsShown(shown);
        ViewSettings::setLabelsShown(shown);
    });
}

void MF::buildAutoAlignButton() {
    m_autoAlignButton = new QPushButton(QStringLiteral("自动对齐"));
    m_autoAlignButton->setAccessibleName(m_autoAlignButton->text());
    m_autoAlignButton->setAutoDefault(false);
    m_sst->addToTab(0, m_autoAlignButton);
    connect(m_autoAlignButton, &QPushButton::clicked, this,
            [this] { AutoAlignCommand(*m_form, *m_undo, m_scans->shownScan(), m_dialogs); });
}

void MF::connectCommands() {
    m_editor = std::make_unique<BoxEditor>(*m_form, m_dialogs);
    m_editor->setUndo(m_undo.get());
    m_editor->setLocked(m_chk[1]->isChecked());
    connect(m_chk[1], &QCheckBox::toggled, m_editor.get(), &BoxEditor::setLocked);
    m_boxEditing = new BoxMouseEditing(*page(), *m_editor, nullptr);

    // Arrow keys on these controls reach the box keys; the control still gets the key.
    m_keyRouted = keyRoutedWidgets();
    for (QWidget* widget : m_keyRouted)
        widget->installEventFilter(this);
    // Installed after the box keys, so the open list answers Up, Down, Enter and Esc first.
    new CompletionPopup(*page(), [this](int box, const QString& typed) {
        return m_completion->choices(box, typed);
    });

    connect(m_cmd[0], &QPushButton::clicked, this, &MF::print);
    connect(m_cmd[4], &QPushButton::clicked, this,
            [this] { PrintCalibrationPage(m_dialogs, this); });

    connect(m_cd2[0], &QPushButton::clicked, this, [this] { ShowAboutBox(*this); });
    connect(m_cd2[1], &QPushButton::clicked, this, [] { MakerSite::OpenChatHelp(); });
    connect(m_cd2[2], &QPushButton::clicked, this, [] { MakerSite::OpenChatHelp(); });
    m_versionCheck = new VersionCheck(m_dialogs, this);
    m_timer1 = new QTimer(this);

    connect(this, &MF::historyGridShown, this, [this](Mode mode) { m_msf->FillHistoryGrid(mode); });
    connect(m_pcd1, &ImageButtonStrip::clicked, this, &MF::historyCommand);
    connect(m_find, &QLineEdit::textChanged, m_msf, &HistoryGrid::setFilterText);
    m_find->installEventFilter(this);
    connect(m_batchPrint, &QPushButton::clicked, this, [this] { batchPrint(false); });
    connect(m_batchPreview, &QPushButton::clicked, this, [this] { batchPrint(true); });
    connectKeys();
}

void MF::connectKeys() {
    // Each key belongs to one view; elsewhere it does nothing.
    const auto onView = [this](const QKeySequence& keys, int view, auto action) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, view, action] {
            if (m_sst->currentIndex() == view)
                action();
        });
    };
    onView(QKeySequence(Qt::CTRL | Qt::Key_F), 1, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });
    onView(QKeySequence(Qt::CTRL | Qt::Key_S), 0, [this] { saveContents(); });
    for (const int in : {Qt::Key_Equal, Qt::Key_Plus})
        onView(QKeySequence(Qt::CTRL | in), 0, [this] { m_pageArea->zoomIn(); });
    onView(QKeySequence(Qt::CTRL | Qt::Key_Minus), 0, [this] { m_pageArea->zoomOut(); });
    onView(QKeySequence(Qt::CTRL | Qt::Key_0), 0, [this] { m_pageArea->fitWidth(); });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { m_sst->setCurrentIndex(2); });
}

void MF::batchPrint(bool preview) {
    // The records are of the history view's mode, so its scan lies behind their pages.
    const PreviewScan scan = m_scans->previewScan(historyMode());
    BatchPrintCommand(*m_msf, *m_form, m_dialogs, printGate(historyMode()),
                      preview ? &scan : nullptr);
}

void MF::historyCommand(int index) {
    const Mode mode = historyMode();
    switch (index) {
    case 0:
        ExportToExcel(m_msf->access(), m_dialogs, this,
                      Catalogue::modeInfo(historyMode()).tabCaption);
        break;
    case 1:
        // The shown grid takes the imported rows a few times a second, not one repaint a row.
        m_msf->gridModel().holdAppends(true);
        ImportExcelRows(m_msf->access(), mode, *m_db, m_dialogs, this);
        m_msf->gridModel().holdAppends(false);
        break;
    case 2:
        m_msf->DeleteGridRows();
        break;
    case 3:
        m_msf->ClearHistory(mode);
        break;
    case 4:
        m_msf->RestoreGridRow(*m_form, mode, [this] { showFormView(); });
        break;
    default:
        break;
    }
}

void MF::print() {
    PrintCommand(
        *m_form, m_dialogs,
        [this] {
            int ord = 0;
            storeOk(m_db->SaveHistoryRecord(*m_form, formMode(), ord));
        },
        Catalogue::modeInfo(formMode()).title, printGate(formMode()));
}

void MF::printPreview() {
    const Mode mode = formMode();
    PrintPreviewCommand(
        *m_form, m_dialogs,
        [this, mode] {
            int ord = 0;
            storeOk(m_db->SaveHistoryRecord(*m_form, mode, ord));
        },
        Catalogue::modeInfo(mode).title, m_scans->previewScan(mode), printGate(mode));
}

bool MF::eventFilter(QObject* watched, QEvent* event) {
    // Entering the find box gathers what it searches, so the first key does not wait.
    if (watched == m_find && event->type() == QEvent::FocusIn)
        m_msf->gridModel().prepareFind();
    if (event->type() == QEvent::KeyPress && m_editor) {
        // A key is delivered to the control with the focus first, then to its parents:
        // only that first delivery counts, so each press reaches the box keys once.
        QWidget* focus = QApplication::focusWidget();
        const bool first = watched == focus || (focus == nullptr && watched == this);
        if (first && m_keyRouted.contains(static_cast<QWidget*>(watched))) {
            auto* key = static_cast<QKeyEvent*>(event);
            m_editor->CtlKeys(key->key(), key->modifiers());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MF::AdjustColWidth(const QFont& font) {
    m_msf->AdjustColWidth(font);
}

void MF::SetColColor(int col, const QColor& color) {
    m_msf->SetColColor(col, color);
}

void MF::SetColBKColor(int col, const QColor& color) {
    m_msf->SetColBKColor(col, color);
}

void MF::ResizeMF() {
    m_sst->hide();
    m_geometry = computeMainWindowGeometry(QSizeF(m_screen) * ScreenTwips::PerPixel, m_viewportTop);
    fitWindowFrame();
    for (std::size_t position = 0; position < m_cd2.size(); ++position) {
        place(m_cd2[position], m_geometry.topStrip[position]);
        m_cd2[position]->raise();
    }
    place(m_sst, m_geometry.mainTabs);
    place(m_codeTableButton, m_geometry.codeTableButton);
    m_codeTableButton->raise();
    layOutTab();
    m_sst->show();
    m_sst->setCurrentIndex(0);
}

// The window layout gives the outer rectangle, frame included; the frame is known only
// once the window manager has decorated the window, so this runs again after showing.
void MF::fitWindowFrame() {
    const QRect window = ScreenTwips::toPixelRect(m_geometry.window);
    const QSize frame = frameGeometry().size() - geometry().size();
    move(window.topLeft());
    resize(window.size() - frame);
}

void MF::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_frameFitted) {
        m_frameFitted = true;
        QTimer::singleShot(0, this, &MF::fitWindowFrame);
    }
}

void MF::layOutTab() {
    // Leaving the form view keeps its boxes as the mode's working record, which the form
    // view loads again when it comes back.
    const int view = m_sst->currentIndex();
    if (m_shownView == 0 && view != 0 && m_armed)
        storeWorkingRecord();
    m_shownView = view;
    m_codeTableButton->setVisible(view == 0);
    m_geometry = computeMainWindowGeometry(QSizeF(m_screen) * ScreenTwips::PerPixel, m_viewportTop);
    switch (m_sst->currentIndex()) {
    case 0:
        layOutFormView();
        break;
    case 1:
        layOutHistoryView();
        break;
    default:
        layOutHelpView();
        break;
    }
}

void MF::layOutFormView() {
    for (std::size_t i = 0; i < m_cmd.size(); ++i)
        place(m_cmd[i], m_geometry.commands[i]);
    place(m_frm, m_geometry.frame);
    for (std::size_t i = 0; i < m_chk.size(); ++i)
        place(m_chk[i], m_geometry.checkBoxes[i]);
    place(m_ss1, m_geometry.modeTabs);
    place(m_previewButton, m_geometry.previewButton);
    place(m_scanShown, m_geometry.scanCheckBox);
    place(m_scanButton, m_geometry.scanButton);
    place(m_databaseButton, m_geometry.databaseButton);
    place(m_zoomBar, m_geometry.zoomBar);
    place(m_labelsShown, m_geometry.labelCheckBox);
    place(m_boxGeometryButton, m_geometry.boxGeometryButton);
    place(m_autoAlignButton, m_geometry.autoAlignButton);
    m_armed = false;
    ApplyMode();
}

void MF::ApplyMode() {
    m_pageArea->layOut(m_geometry.modeTabs.width(), m_geometry.modeTabs.height());
    m_viewportTop = CanvasLayout::ViewportTop;

    const Mode mode = formMode();
    m_form->labelBoxes(mode);
    page()->setTitle(Catalogue::modeInfo(mode).title);
    // Armed, the boxes still hold the mode just left: they become its working record.
    if (m_armed) {
        int ord = WorkingRecordOrd;
        storeOk(m_db->SaveHistoryRecord(*m_form, otherMode(mode), ord));
    } else {
        m_armed = true;
    }
    storeOk(m_db->LoadHistoryRecord(*m_form, WorkingRecordOrd, mode));
    // The boxes hold this mode's texts now: no text step of the other mode is undone here.
    m_undo->setTextMode(mode);
    page()->setBackColor(Catalogue::modeInfo(mode).canvasColor);
    m_scans->showMode(mode);
}

void MF::layOutHistoryView() {
    place(m_ss2, m_geometry.historyTabs);
    place(m_pcd1, m_geometry.imageStrip);
    for (int i = 0; i < ImageButtonStrip::Count; ++i)
        place(m_pcd1->button(i), m_geometry.imageButtons[static_cast<std::size_t>(i)]);
    layOutHistoryGrid();
}

void MF::layOutHistoryGrid() {
    place(m_grid, m_geometry.historyGrid);
    // The grid's top lies under the image buttons: the find row starts below them.
    const int underStrip = ScreenTwips::toPixelRect(m_geometry.imageStrip).bottom() + 1 -
                           ScreenTwips::toPixelRect(m_geometry.historyGrid).top();
    m_grid->layout()->setContentsMargins(0, std::max(0, underStrip), 0, 0);
    m_grid->layout()->activate();
    emit historyGridShown(historyMode());
}

void MF::layOutHelpView() {
    place(m_txt, m_geometry.helpText);
}

void MF::NetLine(PageWidget& picture) {
    picture.drawRulerGrid(m_chk[0]->isChecked());
}

Mode MF::formMode() const {
    return Catalogue::modeOfTab(m_ss1->currentIndex());
}

Mode MF::historyMode() const {
    return Catalogue::modeOfTab(m_ss2->currentIndex());
}

void MF::showFormView() {
    m_sst->setCurrentIndex(0);
}

PageWidget* MF::page() const {
    return m_pageArea->page();
}

QAbstractButton* MF::imageButton(int index) const {
    return m_pcd1->button(index);
}

QList<QWidget*> MF::keyRoutedWidgets() const {
    QList<QWidget*> widgets{const_cast<MF*>(this), page(), m_pageArea->viewport()};
    for (int i = 0; i < BoxCount; ++i)
        widgets.append(page()->boxWidget(i));
    for (QPushButton* b : m_cmd)
        widgets.append(b);
    for (QCheckBox* c : m_chk)
        widgets.append(c);
    widgets.append(m_pageArea->scrollBar());
    widgets.append(m_sst);
    widgets.append(m_sst->tabBar());
    widgets.append(m_previewButton);
    widgets.append(m_scanShown);
    widgets.append(m_scanButton);
    widgets.append(m_databaseButton);
    widgets.append(m_boxGeometryButton);
    widgets.append(m_codeTableButton);
    widgets.append(m_autoAlignButton);
    return widgets;
}

void MF::showLayoutDialog(bool save) {
    m_layouts->setSelSaveMode(save);
    // An open dialog stays as it is; its OK acts in the mode just set.
    if (m_sel)
        return;
    m_sel = new Sel(*m_layouts, m_dialogs, *m_form, m_screen, this, m_undo.get());
    m_sel->show();
}

void MF::saveContents() {
    SaveContents(*m_form, formMode(), *m_db, m_dialogs);
}

void MF::runExit() {
    if (m_exited)
        return;
    m_exited = true;
    m_recoveryThrottle->stop();
    const bool recordKept = storeWorkingRecord();
    const bool layoutKept = storeOk(m_layouts->SaveLayout(*m_form, Catalogue::fixedLayoutName()));
    // When the exit could not keep everything, the copy stays for the next start.
    if (recordKept && layoutKept)
        m_recovery->discard();
}

bool MF::storeWorkingRecord() {
    int ord = WorkingRecordOrd;
    return storeOk(m_db->SaveHistoryRecord(*m_form, formMode(), ord));
}

// What is asked before paper: the checks, with the clerk's code tables, then calibration.
PrintGate MF::printGate(Mode mode) {
    return PrintGate{
        mode, [this](int box, const QString& text) { return m_codeTables->knownCode(box, text); },
        this};
}

bool MF::storeOk(bool ok, const DataBase* store) {
    if (!ok)
        m_dialogs.tellDatabaseError((store ? *store : *m_db).failureDetails());
    return ok;
}

const DataBase& MF::localStore() const {
    return m_localDb ? *m_localDb : *m_db;
}

void MF::closeEvent(QCloseEvent* event) {
    runExit();
    // The program ends with its main window: every other window closes with it.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->close();
    event->accept();
}

#include "MainWindowGeometry.h"

#include <algorithm>

namespace {

constexpr double MinimumWindowWidth = 4500;
constexpr double MinimumWindowHeight = 3000;

QRectF box(double left, double top, double width, double height) {
    return QRectF(left, top, std::max(0.0, width), std::max(0.0, height));
}

} // namespace

MainWindowGeometry computeMainWindowGeometry(QSizeF screen, double viewportTop) {
    using G = MainWindowGeometry;
    G g;
    const double sw = std::max(0.0, screen.width());
    const double sh = std::max(0.0, screen.height());
    // A screen smaller than the margins still gets a window that holds its controls.
    const double width = std::max(sw - 2000, MinimumWindowWidth);
    const double height = std::max(sh - 500, MinimumWindowHeight);
    g.window = box(std::max(0.0, (sw - width) / 2), 0, width, height);

    const std::array<double, 3> ownWidth{G::AboutButtonWidth, G::HelpButtonWidth,
                                         G::HelpButtonWidth};
    for (std::size_t position = 0; position < 3; ++position)
        g.topStrip[position] =
            box(width - static_cast<double>(position) * ownWidth[position] - 1140, 40,
                ownWidth[position], 320);

    // The form view's right column has no room left for "代码表…" on an 800 × 600 screen: it
    // sits on the tab row, left of the help buttons, and is shown with the form view only.
    g.codeTableButton =
        box(g.topStrip[2].left() - 120 - G::CommandButtonWidth, 40, G::CommandButtonWidth, 320);

    g.mainTabs = box(50, 50, width - 2 * 50 - 110, height - 50 - 550);
    const double tw = g.mainTabs.width();
    const double th = g.mainTabs.height();

    // Form view: the command buttons in one column at the right edge.
    const std::array<double, 6> tops{600, 2760, 3120, 1800, 1200, 2160};
    const double buttonLeft = tw - G::CommandButtonWidth - 120;
    for (std::size_t i = 0; i < 6; ++i)
        g.commands[i] = box(buttonLeft, tops[i], G::CommandButtonWidth, G::CommandButtonHeight);
    g.frame = box(buttonLeft, 3600, G::CommandButtonWidth, 1200);
    g.checkBoxes[1] = box(90, 240, G::CommandButtonWidth - 120, 300);
    g.checkBoxes[0] = box(90, 600, G::CommandButtonWidth - 120, 480);
    // The controls added later go below the frame, so nothing above them moves.
    g.previewButton = box(buttonLeft, 4920, G::CommandButtonWidth, G::CommandButtonHeight);
    g.scanCheckBox = box(buttonLeft + 90, 5400, G::CommandButtonWidth - 90, 300);
    g.scanButton = box(buttonLeft, 5760, G::CommandButtonWidth, G::CommandButtonHeight);
    // "自动对齐" works on the scan, so it comes right after "设置底图…".
    g.autoAlignButton = box(buttonLeft, 6240, G::CommandButtonWidth, G::CommandButtonHeight);
    g.databaseButton = box(buttonLeft, 6720, G::CommandButtonWidth, G::CommandButtonHeight);
    // At the foot of the column, below "数据库设置…".
    g.boxGeometryButton = box(buttonLeft, std::max(7200.0, th - G::CommandButtonHeight - 120),
                              G::CommandButtonWidth, G::CommandButtonHeight);
    g.modeTabs = box(0, 340, tw - G::CommandButtonWidth - 200, th - viewportTop - 60);
    // The header row of the mode tabs is free right of the two tabs.
    const double mw = g.modeTabs.width();
    g.zoomBar = box(mw - G::ZoomBarWidth - 30, 0, G::ZoomBarWidth, G::ViewportTop - 15);
    g.labelCheckBox = box(mw - G::ZoomBarWidth - G::LabelCheckBoxWidth - 150, 0,
                          G::LabelCheckBoxWidth, G::ViewportTop - 15);

    // History view: the image buttons sit on the header row, flush with the right edge.
    g.historyTabs = box(40, 340, tw - 80, th - 340 - 40);
    const double hw = g.historyTabs.width();
    g.imageStrip = box(hw - G::ImageStripWidth, 0, G::ImageStripWidth, G::ImageStripHeight);
    for (std::size_t i = 0; i < 5; ++i)
        g.imageButtons[i] = box(static_cast<double>(i) * G::ImageButtonWidth, 0,
                                G::ImageButtonWidth, G::ImageButtonHeight);
    g.historyGrid = box(0, 300, hw, g.historyTabs.height() - 300);

    g.helpText = box(40, 360, tw - 40 - 40, th - 360 - 40);
    return g;
}

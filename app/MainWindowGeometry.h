#pragma once

#include <QRectF>
#include <QSizeF>

#include <array>

// Every rectangle of the window layout, in screen twips: the window on the screen, the
// top strip and the main tab strip in the window, the views' controls in the main tab
// strip (from its top-left corner, header row included), the check boxes in their frame,
// the image buttons in their strip, and the grid in the history tab strip.
struct MainWindowGeometry {
    static constexpr double CommandButtonWidth = 1335;
    static constexpr double CommandButtonHeight = 375;
    static constexpr double AboutButtonWidth = 975;
    static constexpr double HelpButtonWidth = 1260;
    static constexpr double ImageStripWidth = 6165;
    static constexpr double ImageStripHeight = 360;
    static constexpr double ImageButtonWidth = 1200;
    static constexpr double ImageButtonHeight = 360;
    // The viewport top before the first canvas layout, and the one every layout leaves.
    static constexpr double FirstViewportTop = 420;
    static constexpr double ViewportTop = 300;
    static constexpr double ZoomBarWidth = 4200;
    static constexpr double LabelCheckBoxWidth = 1200;

    QRectF window;
    std::array<QRectF, 3> topStrip;     // by position from the right: about, help 2, help 1
    QRectF mainTabs;                    // SST
    std::array<QRectF, 6> commands;     // CMD by index
    QRectF frame;                       // FRM
    std::array<QRectF, 2> checkBoxes;   // CHK by index, inside the frame
    QRectF previewButton;               // "打印预览", below the frame
    QRectF scanCheckBox;                // "显示底图", below it
    QRectF scanButton;                  // "设置底图…", below that
    QRectF databaseButton;              // "数据库设置…", below "设置底图…"
    QRectF boxGeometryButton;           // "位置和大小…", below "数据库设置…"
    QRectF codeTableButton;             // "代码表…", at the foot of the right column
    QRectF autoAlignButton;             // "自动对齐", on the tab row left of the help buttons
    QRectF modeTabs;                    // SS1
    QRectF zoomBar;                     // "缩放" and its buttons, on SS1's header row
    QRectF labelCheckBox;               // "显示标签", left of the zoom bar
    QRectF historyTabs;                 // SS2
    QRectF imageStrip;                  // PCD1, inside SS2
    std::array<QRectF, 5> imageButtons; // CD1 by index, inside the strip
    QRectF historyGrid;                 // MSF, inside SS2
    QRectF helpText;                    // TXT
};

// The layout for a screen of `screenTwips`; `viewportTop` is what the last canvas layout
// left (FirstViewportTop before the first one). Sizes below zero become zero, and the
// window keeps a usable minimum on screens smaller than its fixed margins.
MainWindowGeometry computeMainWindowGeometry(QSizeF screenTwips, double viewportTop);

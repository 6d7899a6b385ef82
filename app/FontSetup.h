#pragma once

class QApplication;

// 宋体 is not installed on Linux: a Song face stands in for it, with a CJK fallback.
void registerFontSubstitutions();
// Qt's own dialogs and buttons speak Chinese whatever the system's locale is.
void installChineseTranslations(QApplication& app);

#pragma once

#include <QString>

// The usage text of the help view.
QString helpText();

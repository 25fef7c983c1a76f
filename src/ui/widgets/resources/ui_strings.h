#pragma once

#include <QString>

// The user-interface texts by number. An unknown number gives an empty
// text, so a caller can tell "no text" from a text.
QString UiString(int number);

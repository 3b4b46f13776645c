#pragma once
#include <QIcon>

namespace kaldor {

// The 16 x 16 arrows of the minus/left and plus/right keys, with a dimmed disabled image.
QIcon LeftArrowIcon();
QIcon RightArrowIcon();

} // namespace kaldor

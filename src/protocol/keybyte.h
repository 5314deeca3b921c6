#pragma once
#include <QString>

// The key byte as shown in both key boxes: two upper-case hex digits.
QString KeyText(int keyByte);

#include "protocol/keybyte.h"
#include "protocol/hextext.h"

QString KeyText(int keyByte)
{
    return ByteText(keyByte).left(2);
}

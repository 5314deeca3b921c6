#include "fakeserialdriver.h"

int FakeSerialDriver::Answer(const char *name, std::initializer_list<int> arguments, const char *text)
{
    QStringList shown;
    for (int argument : arguments)
        shown << QString::number(argument);
    if (text)
        shown << QString::fromLatin1(text);
    Calls << QString("%1(%2)").arg(name, shown.join(','));
    QList<int> &script = Script[name];
    return script.isEmpty() ? Results.value(name) : script.takeFirst();
}

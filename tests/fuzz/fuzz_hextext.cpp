// Hex command text as a user or a script may type it: any text at all. The first
// input byte is the capacity, so refusals are reached as often as parses.
#include "protocol/hextext.h"
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int capacity = data[0];
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    int posts = 0;
    const PostMsg post = [&posts](const QString &) { ++posts; };

    const int byte = HexToByte(text, post);
    if (byte < 0 || byte > 255)
        std::abort();
    ParseCommandText(text, capacity, post); // callers normalise first, but raw text must be safe too

    posts = 0;
    const ParsedCommand parsed = ParseCommandText(NormaliseCommandText(text), capacity, post);
    if (parsed.tooLong ? !parsed.bytes.isEmpty() : parsed.bytes.size() > capacity)
        std::abort();
    // Whatever was reported, nothing goes out: a command is sent whole or not at all.
    if (posts != 0 && !parsed.bytes.isEmpty())
        std::abort();
    // Whatever was parsed reads back the same from the traffic window's text, silently.
    QString shown;
    for (const char b : parsed.bytes)
        AppendByteText(shown, quint8(b));
    posts = 0;
    const ParsedCommand again = ParseCommandText(NormaliseCommandText(shown), capacity, post);
    if (!parsed.bytes.isEmpty() && (again.bytes != parsed.bytes || again.tooLong || posts != 0))
        std::abort();
    return 0;
}

#include "run/junitreport.h"
#include <QFile>
#include <QXmlStreamWriter>

namespace {
// XML 1.0 has no way to carry control characters other than tab, LF and CR, nor
// U+FFFE, U+FFFF or half a surrogate pair, escaped or not (QXmlStreamWriter stops at
// them); an ECHO line or a file name can hold any. Each shows as U+FFFD.
QString Xml(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

QString Seconds(double seconds) { return QString::number(seconds, 'f', 3); }
}

bool JUnitReport::Write(const QString &path, const QList<ScriptResult> &results, QString *error)
{
    int failures = 0;
    double seconds = 0;
    for (const ScriptResult &result : results) {
        failures += !result.failure.isEmpty();
        seconds += result.seconds;
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file.errorString();
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    const auto writeCounts = [&] {
        xml.writeAttribute("name", "quillon-run");
        xml.writeAttribute("tests", QString::number(results.size()));
        xml.writeAttribute("failures", QString::number(failures));
        xml.writeAttribute("errors", "0");
        xml.writeAttribute("time", Seconds(seconds));
    };
    xml.writeStartElement("testsuites");
    writeCounts();
    xml.writeStartElement("testsuite");
    writeCounts();
    for (const ScriptResult &result : results) {
        xml.writeStartElement("testcase");
        xml.writeAttribute("name", Xml(result.script));
        xml.writeAttribute("classname", "quillon-run");
        xml.writeAttribute("time", Seconds(result.seconds));
        if (!result.failure.isEmpty()) {
            xml.writeStartElement("failure");
            xml.writeAttribute("message", Xml(result.failure.section('\n', 0, 0)));
            xml.writeCharacters(Xml(result.failure));
            xml.writeEndElement();
        }
        QString out;
        for (const QString &line : result.transcript)
            out += line + '\n';
        xml.writeTextElement("system-out", Xml(out));
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    if (!xml.hasError() && file.flush())
        return true;
    *error = file.errorString();
    return false;
}

#include "app/benchfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <climits>
#include <cmath>
#include <functional>
#include <optional>

#include "display/safeopen.h"

namespace {
constexpr int Version = 1;
constexpr qint64 MaxFileSize = 1024 * 1024; // a bench file is a few kB; a bigger one is not one
constexpr int MaxScriptDelay = 32767 * 5;   // the script counts at most 32767 ticks, a fifth of it each

// One field of a JSON object, read into and written from a struct S. read answers why
// the value is wrong (path names the field as the user reads it), or an empty text,
// and adds the names of fields it does not know, inside it, to ignored.
template <typename S> struct Field {
    QString name;
    std::function<QString(const QJsonValue &value, S &into, const QString &path, QStringList &ignored)> read;
    std::function<QJsonValue(const S &from)> write;
};
template <typename S> using Fields = QList<Field<S>>;

QString Wrong(const QString &path, const QString &rule) { return QString("\"%1\" %2").arg(path, rule); }

// A value that take() converts, or refuses with nothing; rule says what it must be.
template <typename S, typename T>
Field<S> Value(const QString &name, T S::*member, const QString &rule,
               std::function<std::optional<T>(const QJsonValue &)> take)
{
    return {name,
            [=](const QJsonValue &value, S &into, const QString &path, QStringList &) {
                const std::optional<T> taken = take(value);
                if (!taken)
                    return Wrong(path, rule);
                into.*member = *taken;
                return QString();
            },
            [=](const S &from) { return QJsonValue(from.*member); }};
}

template <typename S> Field<S> Text(const QString &name, QString S::*member)
{
    return Value<S, QString>(name, member, "must be a text in double quotes", [](const QJsonValue &value) {
        return value.isString() ? std::optional(value.toString()) : std::nullopt;
    });
}

template <typename S> Field<S> Flag(const QString &name, bool S::*member)
{
    return Value<S, bool>(name, member, "must be true or false", [](const QJsonValue &value) {
        return value.isBool() ? std::optional(value.toBool()) : std::nullopt;
    });
}

std::optional<int> Whole(const QJsonValue &value, int low, int high)
{
    const double number = value.toDouble(low - 1.0);
    if (!value.isDouble() || number != std::floor(number) || number < low || number > high)
        return std::nullopt;
    return int(number);
}

template <typename S> Field<S> Number(const QString &name, int S::*member, int low, int high)
{
    return Value<S, int>(name, member, QString("must be a whole number from %1 to %2").arg(low).arg(high),
                         [=](const QJsonValue &value) { return Whole(value, low, high); });
}

// A text or a whole number, one of a few.
template <typename S, typename T>
Field<S> OneOf(const QString &name, T S::*member, const QList<T> &choices, const QString &rule)
{
    return Value<S, T>(name, member, rule, [=](const QJsonValue &value) -> std::optional<T> {
        std::optional<T> taken;
        if constexpr (std::is_same_v<T, QString>) {
            if (value.isString())
                taken = value.toString();
        } else {
            taken = Whole(value, INT_MIN, INT_MAX);
        }
        return taken && choices.contains(*taken) ? taken : std::nullopt;
    });
}

template <typename S>
QString ReadObject(const QJsonValue &value, const Fields<S> &fields, S &into, const QString &path, QStringList &ignored)
{
    if (!value.isObject())
        return Wrong(path, "must be an object in { }");
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString at = path.isEmpty() ? it.key() : path + '.' + it.key();
        const auto field = std::find_if(fields.begin(), fields.end(), [&](const Field<S> &f) { return f.name == it.key(); });
        if (field == fields.end())
            ignored << at;
        else if (const QString problem = field->read(it.value(), into, at, ignored); !problem.isEmpty())
            return problem;
    }
    return QString();
}

template <typename S> QJsonObject WriteObject(const Fields<S> &fields, const S &from)
{
    QJsonObject object;
    for (const Field<S> &field : fields)
        object.insert(field.name, field.write(from));
    return object;
}

// An object in the file whose fields belong to the struct around it (the link's to the bench).
template <typename S> Field<S> Group(const QString &name, const Fields<S> &fields)
{
    return {name,
            [=](const QJsonValue &value, S &into, const QString &path, QStringList &ignored) {
                return ReadObject(value, fields, into, path, ignored);
            },
            [=](const S &from) { return QJsonValue(WriteObject(fields, from)); }};
}

// A list of objects, each read into an item that starts from its defaults.
template <typename S, typename Item> Field<S> List(const QString &name, QList<Item> S::*member, const Fields<Item> &fields)
{
    return {name,
            [=](const QJsonValue &value, S &into, const QString &path, QStringList &ignored) {
                if (!value.isArray())
                    return Wrong(path, "must be a list in [ ]");
                const QJsonArray array = value.toArray();
                QList<Item> items;
                for (qsizetype i = 0; i < array.size(); ++i) {
                    Item item;
                    const QString at = QString("%1[%2]").arg(path).arg(i);
                    if (const QString problem = ReadObject(array[i], fields, item, at, ignored); !problem.isEmpty())
                        return problem;
                    items << item;
                }
                into.*member = items;
                return QString();
            },
            [=](const S &from) {
                QJsonArray array;
                for (const Item &item : from.*member)
                    array.append(WriteObject(fields, item));
                return QJsonValue(array);
            }};
}

// Every field a bench file may hold. A new setting is one more line here.
const Fields<Bench> &BenchFields()
{
    static const Fields<Bench> fields = {
        {"quillon-bench",
         [](const QJsonValue &value, Bench &, const QString &path, QStringList &) {
             return Whole(value, Version, Version) ? QString()
                                                   : Wrong(path, QString("must be %1, the version this Quillon reads").arg(Version));
         },
         [](const Bench &) { return QJsonValue(Version); }},
        Group<Bench>("link",
                     {OneOf<Bench, QString>("transport", &Bench::transport, {"serial", "ethernet"},
                                            "must be \"serial\" or \"ethernet\""),
                      Text("address", &Bench::address), Number("port", &Bench::port, 1, 65535),
                      Number("com", &Bench::com, 1, 8), Text("device", &Bench::device),
                      OneOf<Bench, int>("speed", &Bench::speed, LineSpeeds(),
                                        "must be 9600, 19200, 38400, 57600 or 115200")}),
        Value<Bench, QString>("key", &Bench::key, "must be two hex digits, e.g. \"5A\"",
                              [](const QJsonValue &value) -> std::optional<QString> {
                                  const QString key = value.toString().toUpper();
                                  const auto hex = [](QChar c) { return QString("0123456789ABCDEF").contains(c); };
                                  return key.size() == 2 && hex(key[0]) && hex(key[1]) ? std::optional(key) : std::nullopt;
                              }),
        Text("match", &Bench::match),
        Text("command", &Bench::command),
        Number("scriptDelay", &Bench::scriptDelay, 0, MaxScriptDelay),
        Flag("timestamps", &Bench::timestamps),
        Flag("reconnect", &Bench::reconnect),
        List<Bench, AnswerRule>("answers", &Bench::answers,
                                {Flag("on", &AnswerRule::on), Text("when", &AnswerRule::when),
                                 Text("reply", &AnswerRule::reply),
                                 Number("delayMs", &AnswerRule::delayMs, 0, AnswerRule::MaxDelayMs)}),
        List<Bench, SavedCommand>("commands", &Bench::commands,
                                  {Text("name", &SavedCommand::name), Text("command", &SavedCommand::command)}),
    };
    return fields;
}
}

const QList<int> &LineSpeeds()
{
    static const QList<int> speeds{9600, 19200, 38400, 57600, 115200};
    return speeds;
}

BenchRead ReadBench(const QByteArray &json)
{
    BenchRead result;
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const QByteArray before = json.left(parse.offset);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        result.error = QString("line %1, column %2: %3")
                           .arg(before.count('\n') + 1)
                           .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1)
                           .arg(parse.errorString());
        return result;
    }
    if (!document.isObject())
        return {Bench(), "not a bench file: it must be one object in { }", {}};
    Bench bench;
    result.error = ReadObject(document.object(), BenchFields(), bench, QString(), result.ignored);
    if (!result.error.isEmpty())
        result.ignored.clear();
    else
        result.bench = bench;
    return result;
}

BenchRead ReadBenchFile(const QString &path)
{
    QFile file(path);
    if (!OpenWithoutBlocking(file, QIODevice::ReadOnly)) // a FIFO or a device never holds up the window
        return {Bench(), file.errorString(), {}};
    const QByteArray json = file.read(MaxFileSize + 1);
    if (json.size() > MaxFileSize)
        return {Bench(), "larger than 1 MiB: not a bench file", {}};
    return ReadBench(json);
}

QByteArray WriteBench(const Bench &bench)
{
    return QJsonDocument(WriteObject(BenchFields(), bench)).toJson(QJsonDocument::Indented);
}

QString WriteBenchFile(const QString &path, const Bench &bench)
{
    const QByteArray json = WriteBench(bench);
    // Only a file that opens again is written: a box that holds no number is said, not saved.
    if (const QString error = ReadBench(json).error; !error.isEmpty())
        return error;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        return file.errorString();
    return QString();
}

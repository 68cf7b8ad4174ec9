#include "tools/orvanta-desktop/DesktopJson.h"

#include "platform/CFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <span>

namespace {

// Takes fields out of JSON objects; the first problem is kept with the path
// of the value it concerns, and every later call then does nothing.
class JsonFields {
public:
    QString error;

    bool ok() const { return error.isEmpty(); }

    void fail(const QString& where, const QString& problem)
    {
        if (ok())
            error = where + ": " + problem;
    }

    // True when `holds`; otherwise the problem is "expected <what>".
    bool expect(bool holds, const QString& where, const QString& what)
    {
        if (!holds)
            fail(where, "expected " + what);
        return holds;
    }

    // The object must hold exactly these keys.
    void expectKeys(const QJsonObject& object, const QStringList& keys, const QString& where)
    {
        for (const QString& key : object.keys()) {
            if (!keys.contains(key))
                fail(where, QString("unknown key \"%1\"").arg(key));
        }
        for (const QString& key : keys) {
            if (!object.contains(key))
                fail(where, QString("missing key \"%1\"").arg(key));
        }
    }

    qint64 integer(const QJsonValue& value, qint64 min, qint64 max, const QString& where)
    {
        const double number = value.toDouble();
        const bool whole
            = value.isDouble() && std::floor(number) == number && number >= double(min) && number <= double(max);
        return expect(whole, where, QString("a whole number from %1 to %2").arg(min).arg(max)) ? qint64(number) : 0;
    }

    CString text(const QJsonValue& value, const QString& where)
    {
        if (!expect(value.isString(), where, "a string"))
            return CString();
        const QString string = value.toString();
        for (QChar ch : string) {
            if (ch.unicode() > 0xFF) {
                fail(where, "holds a character above U+00FF, which is no byte");
                return CString();
            }
        }
        const QByteArray bytes = string.toLatin1();
        return CString(std::string(bytes.constData(), size_t(bytes.size())));
    }

    static QString at(const QString& where, const char* key) { return where.isEmpty() ? key : where + "." + key; }
};

QString toJsonText(const CString& text)
{
    return QString::fromLatin1(text.str().data(), text.GetLength());
}

// One stored field of a record: its JSON key, and how it goes to and comes
// from JSON. The tables below name each field once, for both directions.
template<class Record> struct Field {
    const char* key;
    std::function<QJsonValue(const Record&)> write;
    std::function<void(JsonFields&, const QJsonValue&, Record&, const QString&)> read;
};

template<class Record> QJsonObject ToJson(const Record& record, std::span<const Field<Record>> fields)
{
    QJsonObject json;
    for (const Field<Record>& field : fields)
        json.insert(field.key, field.write(record));
    return json;
}

template<class Record>
void FromJson(JsonFields& fields, const QJsonObject& json, std::span<const Field<Record>> table, Record& record,
    const QString& where, QStringList keys = {})
{
    for (const Field<Record>& field : table)
        keys << field.key;
    fields.expectKeys(json, keys, where.isEmpty() ? "desktop" : where);
    for (const Field<Record>& field : table)
        field.read(fields, json.value(field.key), record, JsonFields::at(where, field.key));
}

// A whole number within the range of the member's type.
template<class Record, class T> Field<Record> Number(const char* key, T Record::*member)
{
    return { key, [member](const Record& r) { return QJsonValue(qint64(r.*member)); },
        [member](JsonFields& f, const QJsonValue& v, Record& r, const QString& path) {
            r.*member = T(f.integer(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), path));
        } };
}

template<class Record> Field<Record> Flag(const char* key, BYTE Record::*member)
{
    return { key, [member](const Record& r) { return QJsonValue(r.*member != 0); },
        [member](JsonFields& f, const QJsonValue& v, Record& r, const QString& path) {
            if (f.expect(v.isBool(), path, "true or false"))
                r.*member = v.toBool() ? 1 : 0;
        } };
}

template<class Record> Field<Record> Text(const char* key, CString Record::*member)
{
    return { key, [member](const Record& r) { return QJsonValue(toJsonText(r.*member)); },
        [member](JsonFields& f, const QJsonValue& v, Record& r, const QString& path) { r.*member = f.text(v, path); } };
}

template<class Record> Field<Record> Rect(const char* key, RECT Record::*member)
{
    return { key,
        [member](const Record& r) {
            const RECT& rc = r.*member;
            return QJsonValue(QJsonArray { qint64(rc.left), qint64(rc.top), qint64(rc.right), qint64(rc.bottom) });
        },
        [member](JsonFields& f, const QJsonValue& v, Record& r, const QString& path) {
            if (!f.expect(v.isArray() && v.toArray().size() == 4, path, "[left, top, right, bottom]"))
                return;
            const QJsonArray values = v.toArray();
            constexpr LONG RECT::*kEdges[] = { &RECT::left, &RECT::top, &RECT::right, &RECT::bottom };
            for (int i = 0; i < 4; ++i)
                r.*member.*kEdges[i] = LONG(
                    f.integer(values[i], std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max(), path));
        } };
}

const Field<LOGFONT> kFontFields[] = {
    Number("height", &LOGFONT::lfHeight),
    Number("width", &LOGFONT::lfWidth),
    Number("escapement", &LOGFONT::lfEscapement),
    Number("orientation", &LOGFONT::lfOrientation),
    Number("weight", &LOGFONT::lfWeight),
    Number("italic", &LOGFONT::lfItalic),
    Number("underline", &LOGFONT::lfUnderline),
    Number("strikeOut", &LOGFONT::lfStrikeOut),
    Number("charSet", &LOGFONT::lfCharSet),
    Number("outPrecision", &LOGFONT::lfOutPrecision),
    Number("clipPrecision", &LOGFONT::lfClipPrecision),
    Number("quality", &LOGFONT::lfQuality),
    Number("pitchAndFamily", &LOGFONT::lfPitchAndFamily),
    { "faceName",
        [](const LOGFONT& lf) {
            return QJsonValue(toJsonText(CString(lf.lfFaceName, int(strnlen(lf.lfFaceName, LF_FACESIZE)))));
        },
        [](JsonFields& f, const QJsonValue& v, LOGFONT& lf, const QString& path) {
            const CString faceName = f.text(v, path);
            if (faceName.GetLength() >= LF_FACESIZE || faceName.Find('\0') >= 0)
                f.fail(path, "expected at most 31 characters and no NUL");
            else
                std::memcpy(lf.lfFaceName, faceName.str().data(), size_t(faceName.GetLength()));
        } },
};

template<class Record> Field<Record> Font(const char* key, LOGFONT Record::*member)
{
    return { key, [member](const Record& r) { return QJsonValue(ToJson<LOGFONT>(r.*member, kFontFields)); },
        [member](JsonFields& f, const QJsonValue& v, Record& r, const QString& path) {
            if (f.expect(v.isObject(), path, "a font object"))
                FromJson<LOGFONT>(f, v.toObject(), kFontFields, r.*member, path);
        } };
}

const Field<DesktopObject> kObjectFields[] = {
    Text("name", &DesktopObject::strName),
    Number("reserved", &DesktopObject::dwReserved),
    Text("text", &DesktopObject::strText),
    Rect("textRect", &DesktopObject::rcText),
    Font("font", &DesktopObject::lfFont),
    Number("textPixel", &DesktopObject::dwTextPixel),
    Number("textColor", &DesktopObject::crText),
    Number("hotTextPixel", &DesktopObject::dwHotTextPixel),
    Number("hotTextColor", &DesktopObject::crHotText),
    Number("justify", &DesktopObject::nJustify),
    Text("upImage", &DesktopObject::strUpImage),
    Text("downImage", &DesktopObject::strDownImage),
    Text("mouseImage", &DesktopObject::strMouseImage),
    Rect("objectRect", &DesktopObject::rcObject),
    Text("activate", &DesktopObject::strActivate),
    Flag("visible", &DesktopObject::bVisible),
    Flag("textOnMouseOver", &DesktopObject::bTextOnMouseOver),
    Text("action", &DesktopObject::strAction),
};

// The desktop's own fields; "count" and "objects" hold the records.
const Field<DesktopData> kDesktopFields[] = {
    Text("magic", &DesktopData::strMagic),
    Flag("tile", &DesktopData::bTile),
    Number("backPixel", &DesktopData::dwBackPixel),
    Number("backColor", &DesktopData::crBackground),
    Font("defaultFont", &DesktopData::lfDefault),
};

} // namespace

QByteArray DesktopToJson(const DesktopData& desktop)
{
    QJsonArray objects;
    for (const DesktopObject& object : desktop.aObjects)
        objects.append(ToJson<DesktopObject>(object, kObjectFields));
    QJsonObject json = ToJson<DesktopData>(desktop, kDesktopFields);
    json.insert("count", qint64(desktop.aObjects.size()));
    json.insert("objects", objects);
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

bool DesktopFromJson(const QByteArray& json, DesktopData& desktop, QString* error)
{
    const auto reject = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return reject(QString("not JSON at byte %1: %2").arg(parseError.offset).arg(parseError.errorString()));
    if (!document.isObject())
        return reject("expected a JSON object");

    const QJsonObject root = document.object();
    JsonFields fields;
    DesktopData result;
    FromJson<DesktopData>(fields, root, kDesktopFields, result, "", { "count", "objects" });
    if (fields.ok() && result.strMagic != CString("ORVDEMO1.0"))
        fields.fail("magic", "the writer stores only \"ORVDEMO1.0\"");
    const qint64 count = fields.integer(root.value("count"), 0, kMaxDesktopRecords, "count");
    const QJsonValue objects = root.value("objects");
    if (!objects.isArray())
        fields.fail("objects", "expected an array");
    else if (fields.ok() && objects.toArray().size() != count)
        fields.fail("count", QString("%1 differs from the %2 objects listed").arg(count).arg(objects.toArray().size()));
    for (qsizetype i = 0; fields.ok() && i < objects.toArray().size(); ++i) {
        const QString where = QString("objects[%1]").arg(i);
        const QJsonValue object = objects.toArray().at(i);
        if (!object.isObject()) {
            fields.fail(where, "expected an object");
            continue;
        }
        DesktopObject record;
        FromJson<DesktopObject>(fields, object.toObject(), kObjectFields, record, where);
        result.aObjects.push_back(std::move(record));
    }
    if (!fields.ok())
        return reject(fields.error);
    desktop = std::move(result);
    return true;
}

int DumpDesktopFile(const char* orvPath, std::ostream& out, std::ostream& err)
{
    CFile file;
    if (!file.Open(orvPath, CFile::modeRead)) {
        err << orvPath << ": cannot be opened\n";
        return 1;
    }
    DesktopData desktop;
    DesktopReadError error;
    bool complete = false;
    {
        CArchive ar(&file, CArchive::load);
        complete = ReadDesktop(ar, desktop, &error);
    }
    file.Close();
    if (!complete) {
        err << orvPath << ": byte " << error.offset << ": " << error.reason << "\n";
        return 1;
    }
    const QByteArray json = DesktopToJson(desktop);
    out.write(json.constData(), json.size());
    return out ? 0 : 1;
}

int BuildDesktopFile(const char* jsonPath, const char* orvPath, std::ostream& err)
{
    QFile input(QString::fromLocal8Bit(jsonPath));
    if (!input.open(QIODevice::ReadOnly)) {
        err << jsonPath << ": cannot be opened\n";
        return 1;
    }
    DesktopData desktop;
    QString error;
    if (!DesktopFromJson(input.readAll(), desktop, &error)) {
        err << jsonPath << ": " << error.toStdString() << "\n";
        return 1;
    }

    if (!WriteDesktopFile(orvPath, desktop)) {
        err << orvPath << ": Desktop file could not be saved!\n";
        return 1;
    }
    return 0;
}

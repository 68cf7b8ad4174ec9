#include "files/DesktopJson.h"

#include "platform/CFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

QString toJsonText(const CString& text)
{
    return QString::fromLatin1(text.str().data(), text.GetLength());
}

QJsonArray rectToJson(const RECT& rc)
{
    return { qint64(rc.left), qint64(rc.top), qint64(rc.right), qint64(rc.bottom) };
}

QJsonObject fontToJson(const LOGFONT& lf)
{
    return {
        { "height", qint64(lf.lfHeight) },
        { "width", qint64(lf.lfWidth) },
        { "escapement", qint64(lf.lfEscapement) },
        { "orientation", qint64(lf.lfOrientation) },
        { "weight", qint64(lf.lfWeight) },
        { "italic", lf.lfItalic },
        { "underline", lf.lfUnderline },
        { "strikeOut", lf.lfStrikeOut },
        { "charSet", lf.lfCharSet },
        { "outPrecision", lf.lfOutPrecision },
        { "clipPrecision", lf.lfClipPrecision },
        { "quality", lf.lfQuality },
        { "pitchAndFamily", lf.lfPitchAndFamily },
        { "faceName", toJsonText(CString(lf.lfFaceName, int(strnlen(lf.lfFaceName, LF_FACESIZE)))) },
    };
}

QJsonObject objectToJson(const DesktopObject& object)
{
    return {
        { "name", toJsonText(object.strName) },
        { "reserved", qint64(object.dwReserved) },
        { "text", toJsonText(object.strText) },
        { "textRect", rectToJson(object.rcText) },
        { "font", fontToJson(object.lfFont) },
        { "textPixel", qint64(object.dwTextPixel) },
        { "textColor", qint64(object.crText) },
        { "hotTextPixel", qint64(object.dwHotTextPixel) },
        { "hotTextColor", qint64(object.crHotText) },
        { "justify", object.nJustify },
        { "upImage", toJsonText(object.strUpImage) },
        { "downImage", toJsonText(object.strDownImage) },
        { "mouseImage", toJsonText(object.strMouseImage) },
        { "objectRect", rectToJson(object.rcObject) },
        { "activate", toJsonText(object.strActivate) },
        { "visible", object.bVisible != 0 },
        { "textOnMouseOver", object.bTextOnMouseOver != 0 },
        { "action", toJsonText(object.strAction) },
    };
}

constexpr qint64 kLongMin = std::numeric_limits<LONG>::min();
constexpr qint64 kLongMax = std::numeric_limits<LONG>::max();
constexpr qint64 kDwordMax = std::numeric_limits<DWORD>::max();

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
        if (!value.isDouble() || std::floor(number) != number || number < double(min) || number > double(max)) {
            fail(where, QString("expected a whole number from %1 to %2").arg(min).arg(max));
            return 0;
        }
        return qint64(number);
    }

    LONG longValue(const QJsonObject& object, const char* key, const QString& where)
    {
        return LONG(integer(object.value(key), kLongMin, kLongMax, at(where, key)));
    }

    DWORD dwordValue(const QJsonObject& object, const char* key, const QString& where)
    {
        return DWORD(integer(object.value(key), 0, kDwordMax, at(where, key)));
    }

    BYTE byteValue(const QJsonObject& object, const char* key, const QString& where)
    {
        return BYTE(integer(object.value(key), 0, 255, at(where, key)));
    }

    BYTE flag(const QJsonObject& object, const char* key, const QString& where)
    {
        const QJsonValue value = object.value(key);
        if (!value.isBool())
            fail(at(where, key), "expected true or false");
        return value.toBool() ? 1 : 0;
    }

    CString text(const QJsonObject& object, const char* key, const QString& where)
    {
        const QJsonValue value = object.value(key);
        if (!value.isString()) {
            fail(at(where, key), "expected a string");
            return CString();
        }
        const QString string = value.toString();
        for (QChar ch : string) {
            if (ch.unicode() > 0xFF) {
                fail(at(where, key), "holds a character above U+00FF, which is no byte");
                return CString();
            }
        }
        const QByteArray bytes = string.toLatin1();
        return CString(std::string(bytes.constData(), size_t(bytes.size())));
    }

    RECT rect(const QJsonObject& object, const char* key, const QString& where)
    {
        const QJsonValue value = object.value(key);
        const QString path = at(where, key);
        if (!value.isArray() || value.toArray().size() != 4) {
            fail(path, "expected [left, top, right, bottom]");
            return RECT();
        }
        const QJsonArray edges = value.toArray();
        RECT rc;
        rc.left = LONG(integer(edges[0], kLongMin, kLongMax, path));
        rc.top = LONG(integer(edges[1], kLongMin, kLongMax, path));
        rc.right = LONG(integer(edges[2], kLongMin, kLongMax, path));
        rc.bottom = LONG(integer(edges[3], kLongMin, kLongMax, path));
        return rc;
    }

    LOGFONT font(const QJsonObject& object, const char* key, const QString& where)
    {
        const QString path = at(where, key);
        const QJsonValue value = object.value(key);
        LOGFONT lf;
        if (!value.isObject()) {
            fail(path, "expected a font object");
            return lf;
        }
        const QJsonObject font = value.toObject();
        expectKeys(font,
            { "height", "width", "escapement", "orientation", "weight", "italic", "underline", "strikeOut", "charSet",
                "outPrecision", "clipPrecision", "quality", "pitchAndFamily", "faceName" },
            path);
        lf.lfHeight = longValue(font, "height", path);
        lf.lfWidth = longValue(font, "width", path);
        lf.lfEscapement = longValue(font, "escapement", path);
        lf.lfOrientation = longValue(font, "orientation", path);
        lf.lfWeight = longValue(font, "weight", path);
        lf.lfItalic = byteValue(font, "italic", path);
        lf.lfUnderline = byteValue(font, "underline", path);
        lf.lfStrikeOut = byteValue(font, "strikeOut", path);
        lf.lfCharSet = byteValue(font, "charSet", path);
        lf.lfOutPrecision = byteValue(font, "outPrecision", path);
        lf.lfClipPrecision = byteValue(font, "clipPrecision", path);
        lf.lfQuality = byteValue(font, "quality", path);
        lf.lfPitchAndFamily = byteValue(font, "pitchAndFamily", path);
        const CString faceName = text(font, "faceName", path);
        if (faceName.GetLength() >= LF_FACESIZE || faceName.Find('\0') >= 0)
            fail(at(path, "faceName"), "expected at most 31 characters and no NUL");
        else
            std::memcpy(lf.lfFaceName, faceName.str().data(), size_t(faceName.GetLength()));
        return lf;
    }

private:
    static QString at(const QString& where, const char* key) { return where.isEmpty() ? key : where + "." + key; }
};

DesktopObject objectFromJson(JsonFields& fields, const QJsonObject& json, const QString& where)
{
    fields.expectKeys(json,
        { "name", "reserved", "text", "textRect", "font", "textPixel", "textColor", "hotTextPixel", "hotTextColor",
            "justify", "upImage", "downImage", "mouseImage", "objectRect", "activate", "visible", "textOnMouseOver",
            "action" },
        where);
    DesktopObject object;
    object.strName = fields.text(json, "name", where);
    object.dwReserved = fields.dwordValue(json, "reserved", where);
    object.strText = fields.text(json, "text", where);
    object.rcText = fields.rect(json, "textRect", where);
    object.lfFont = fields.font(json, "font", where);
    object.dwTextPixel = fields.dwordValue(json, "textPixel", where);
    object.crText = fields.dwordValue(json, "textColor", where);
    object.dwHotTextPixel = fields.dwordValue(json, "hotTextPixel", where);
    object.crHotText = fields.dwordValue(json, "hotTextColor", where);
    object.nJustify = fields.longValue(json, "justify", where);
    object.strUpImage = fields.text(json, "upImage", where);
    object.strDownImage = fields.text(json, "downImage", where);
    object.strMouseImage = fields.text(json, "mouseImage", where);
    object.rcObject = fields.rect(json, "objectRect", where);
    object.strActivate = fields.text(json, "activate", where);
    object.bVisible = fields.flag(json, "visible", where);
    object.bTextOnMouseOver = fields.flag(json, "textOnMouseOver", where);
    object.strAction = fields.text(json, "action", where);
    return object;
}

}

QByteArray DesktopToJson(const DesktopData& desktop)
{
    QJsonArray objects;
    for (const DesktopObject& object : desktop.aObjects)
        objects.append(objectToJson(object));
    const QJsonObject json {
        { "magic", toJsonText(desktop.strMagic) },
        { "count", qint64(desktop.aObjects.size()) },
        { "tile", desktop.bTile != 0 },
        { "backPixel", qint64(desktop.dwBackPixel) },
        { "backColor", qint64(desktop.crBackground) },
        { "defaultFont", fontToJson(desktop.lfDefault) },
        { "objects", objects },
    };
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
    fields.expectKeys(
        root, { "magic", "count", "tile", "backPixel", "backColor", "defaultFont", "objects" }, "desktop");
    DesktopData result;
    result.strMagic = fields.text(root, "magic", "");
    if (fields.ok() && result.strMagic != CString("ORVDEMO1.0"))
        fields.fail("magic", "the writer stores only \"ORVDEMO1.0\"");
    const qint64 count = fields.integer(root.value("count"), 0, kMaxDesktopRecords, "count");
    result.bTile = fields.flag(root, "tile", "");
    result.dwBackPixel = fields.dwordValue(root, "backPixel", "");
    result.crBackground = fields.dwordValue(root, "backColor", "");
    result.lfDefault = fields.font(root, "defaultFont", "");
    const QJsonValue objects = root.value("objects");
    if (!objects.isArray())
        fields.fail("objects", "expected an array");
    else if (fields.ok() && objects.toArray().size() != count)
        fields.fail("count", QString("%1 differs from the %2 objects listed").arg(count).arg(objects.toArray().size()));
    for (qsizetype i = 0; fields.ok() && i < objects.toArray().size(); ++i) {
        const QString where = QString("objects[%1]").arg(i);
        const QJsonValue object = objects.toArray().at(i);
        if (!object.isObject())
            fields.fail(where, "expected an object");
        else
            result.aObjects.push_back(objectFromJson(fields, object.toObject(), where));
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

#include "files/DesktopJson.h"
#include "files/DesktopFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sstream>

namespace {

class DesktopJsonTest : public DesktopFileTest {
protected:
    // Saves the desktop in memory and dumps it; the JSON text.
    std::string SaveAndDump(const char* orv)
    {
        app->m_strDesktopFile = CString(Path(orv).c_str());
        app->SaveDesktop();
        std::ostringstream out, err;
        EXPECT_EQ(DumpDesktopFile(Path(orv).c_str(), out, err), 0) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    }

    int Build(const std::string& json, std::string* error = nullptr)
    {
        QFile file(QString::fromStdString(Path("in.json")));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(json.data(), qint64(json.size()));
        file.close();
        std::ostringstream err;
        const int status = BuildDesktopFile(Path("in.json").c_str(), Path("out.orv").c_str(), err);
        if (error)
            *error = err.str();
        return status;
    }

    QJsonObject Parse(const std::string& json)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    }
    std::string Text(const QJsonObject& object) { return QJsonDocument(object).toJson().toStdString(); }
};

}

TEST_F(DesktopJsonTest, DumpThenBuildGivesTheSameBytes)
{
    for (int n : { 0, 1, 4, 51 }) {
        FillDesktop(n);
        app->m_lfDefault.lfHeight = std::numeric_limits<LONG>::min();
        app->m_dwBackPixel = 0xFFFFFFFF;
        if (n > 1) {
            app->m_aObjects[1].strText = CString(std::string("\x01\x7F\x80\xFF\"\\\t", 7) + std::string(70000, 'z'));
            app->m_aObjects[1].nJustify = -5;
        }
        const std::string json = SaveAndDump("source.orv");
        std::string error;
        ASSERT_EQ(Build(json, &error), 0) << error;
        EXPECT_EQ(ReadBytes(Path("out.orv")), ReadBytes(Path("source.orv"))) << n << " records";
    }
}

TEST_F(DesktopJsonTest, DumpShowsTheStoredValues)
{
    FillDesktop(2);
    app->m_aObjects[1].strUpImage = "E:\\Projects3\\TAV\\\xE9t\xE9.bmp";
    const QJsonObject root = Parse(SaveAndDump("show.orv"));

    EXPECT_EQ(root["magic"].toString(), "ORVDEMO1.0");
    EXPECT_EQ(root["count"].toInteger(), 2);
    EXPECT_EQ(root["tile"].toBool(), true);
    EXPECT_EQ(root["backPixel"].toInteger(), 0x123456);
    EXPECT_EQ(root["defaultFont"]["faceName"].toString(), "Tahoma");
    const QJsonObject object = root["objects"].toArray()[1].toObject();
    // Not rebased; each byte is the character of the same number.
    EXPECT_EQ(object["upImage"].toString(), QString::fromUtf8("E:\\Projects3\\TAV\\\u00e9t\u00e9.bmp"));
    EXPECT_EQ(object["text"].toString(), QString::fromUtf8("First line\r\nSecond \u00e9 line"));
    EXPECT_EQ(object["objectRect"].toArray(), (QJsonArray { -20, 30, 44, 62 }));
    EXPECT_EQ(object["justify"].toInteger(), 1088);
    EXPECT_EQ(object["visible"].toBool(), true);
}

TEST_F(DesktopJsonTest, DamagedFilesAreNotDumped)
{
    FillDesktop(2);
    SaveAndDump("cut.orv");
    Bytes bytes = ReadBytes(Path("cut.orv"));
    bytes.resize(bytes.size() - 3);
    WriteBytes(Path("cut.orv"), bytes);
    std::ostringstream out, err;
    EXPECT_EQ(DumpDesktopFile(Path("cut.orv").c_str(), out, err), 1);
    EXPECT_EQ(out.str(), "");
    const std::string line = err.str();
    EXPECT_NE(line.find("record 1: the file ends"), std::string::npos) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);

    ByteBuilder badCount;
    badCount.shortStr("ORVDEMO1.0").u32(60);
    WriteBytes(Path("count.orv"), badCount.bytes);
    std::ostringstream out2, err2;
    EXPECT_EQ(DumpDesktopFile(Path("count.orv").c_str(), out2, err2), 1);
    EXPECT_NE(err2.str().find("byte 11: object count 60"), std::string::npos) << err2.str();

    std::ostringstream out3, err3;
    EXPECT_EQ(DumpDesktopFile(Path("none.orv").c_str(), out3, err3), 1);
}

TEST_F(DesktopJsonTest, BuildRejectsJsonThatDescribesNoDesktop)
{
    FillDesktop(2);
    const QJsonObject good = Parse(SaveAndDump("good.orv"));
    const auto edited = [&](auto edit) {
        QJsonObject root = good;
        edit(root);
        return Text(root);
    };
    const auto editObject = [&](auto edit) {
        return edited([&](QJsonObject& root) {
            QJsonArray objects = root["objects"].toArray();
            QJsonObject object = objects[1].toObject();
            edit(object);
            objects[1] = object;
            root["objects"] = objects;
        });
    };

    struct Case {
        std::string json;
        const char* reason;
    };
    const Case cases[] = {
        { "{\"magic\": ", "not JSON" },
        { "[1, 2]", "expected a JSON object" },
        { edited([](QJsonObject& r) { r["count"] = 3; }), "count: 3 differs from the 2 objects" },
        { edited([](QJsonObject& r) { r["magic"] = "ORVDEMO2.0"; }), "magic" },
        { edited([](QJsonObject& r) { r.remove("tile"); }), "missing key \"tile\"" },
        { edited([](QJsonObject& r) { r["extra"] = 1; }), "unknown key \"extra\"" },
        { edited([](QJsonObject& r) { r["backPixel"] = 4294967296.0; }), "backPixel: expected a whole number" },
        { edited([](QJsonObject& r) { r["tile"] = 1; }), "tile: expected true or false" },
        { editObject([](QJsonObject& o) { o["reserved"] = 1.5; }), "objects[1].reserved: expected a whole number" },
        { editObject([](QJsonObject& o) { o["name"] = QString::fromUtf8("\u20ac"); }),
            "objects[1].name: holds a character above U+00FF" },
        { editObject([](QJsonObject& o) {
             QJsonObject font = o["font"].toObject();
             font["faceName"] = QString(32, 'F');
             o["font"] = font;
         }),
            "objects[1].font.faceName" },
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Build(c.json, &error), 1) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("out.orv")))) << c.reason;
    }

    // The unedited JSON still builds.
    EXPECT_EQ(Build(Text(good)), 0);
    EXPECT_EQ(ReadBytes(Path("out.orv")), ReadBytes(Path("good.orv")));
}

TEST_F(DesktopJsonTest, BuildReportsAFailedSave)
{
    FillDesktop(1);
    const std::string json = SaveAndDump("good.orv");
    QFile file(QString::fromStdString(Path("in.json")));
    file.open(QIODevice::WriteOnly);
    file.write(json.data(), qint64(json.size()));
    file.close();
    std::ostringstream err;
    EXPECT_EQ(BuildDesktopFile(Path("in.json").c_str(), Path("missing/out.orv").c_str(), err), 1);
    EXPECT_NE(err.str().find("Desktop file could not be saved!"), std::string::npos) << err.str();
}

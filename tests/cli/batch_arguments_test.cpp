// Parsing the command line of mugwarp-batch.
#include <gtest/gtest.h>

#include "cli/batch_arguments.h"
#include "formats/colour_value.h"

namespace {

using batch::parseBatchArguments;
using batch::UsageError;

QStringList split(const char* line) {
    return QString::fromLatin1(line).split(u' ');
}

TEST(BatchArguments, ConversionOperationAndRepeat) {
    const auto convert = parseBatchArguments(split("in.jpg out.bmp"));
    EXPECT_EQ(convert.input, "in.jpg");
    EXPECT_EQ(convert.output, "out.bmp");
    EXPECT_EQ(convert.operation, nullptr);
    EXPECT_EQ(convert.repeat, 1);

    const auto bulge = parseBatchArguments(split("a.bmp b.JPEG bulge 10 20 30 -4"));
    ASSERT_NE(bulge.operation, nullptr);
    EXPECT_STREQ(bulge.operation->name, "bulge");
    EXPECT_EQ(bulge.values, (std::vector<int>{10, 20, 30, -4}));
    EXPECT_EQ(bulge.repeat, 1);

    for (const char* line :
         {"a.bmp b.jpg pinch 1 2 3 4 --repeat 7", "a.bmp b.jpg --repeat 7 pinch 1 2 3 4"}) {
        const auto pinch = parseBatchArguments(split(line));
        ASSERT_NE(pinch.operation, nullptr) << line;
        EXPECT_STREQ(pinch.operation->name, "pinch");
        EXPECT_EQ(pinch.values, (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(pinch.repeat, 7);
    }
    EXPECT_TRUE(parseBatchArguments(split("--help")).helpWanted);
    // After "--" every word is a name or an argument.
    const auto dashed = parseBatchArguments(split("--repeat 2 -- --help -h.png pinch 1 2 3 4"));
    EXPECT_FALSE(dashed.helpWanted);
    EXPECT_EQ(dashed.input, "--help");
    EXPECT_EQ(dashed.output, "-h.png");
    EXPECT_EQ(dashed.repeat, 2);
    EXPECT_EQ(dashed.values, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_THROW(parseBatchArguments(split("-- in.bmp out.bmp pinch 1 2 3 4 --repeat 2")),
                 UsageError);

    // The wave's arguments may be left out as a whole, never in part.
    EXPECT_EQ(parseBatchArguments(split("a.bmp b.gif wave")).values, (std::vector<int>{2, 6, 2}));
    EXPECT_EQ(parseBatchArguments(split("a.bmp b.gif wave 3 7 -1")).values,
              (std::vector<int>{3, 7, -1}));
    EXPECT_THROW(parseBatchArguments(split("a.bmp b.gif wave 3")), UsageError);
    EXPECT_TRUE(parseBatchArguments(split("a.bmp b.gif edges")).values.empty());
    EXPECT_THROW(parseBatchArguments(split("a.bmp b.gif sketch-bw")), UsageError);
}

TEST(BatchArguments, ColoursAreHexadecimalRedGreenBlue) {
    // The colour value has red in the low byte.
    const int orange = static_cast<int>(colour::make(0xff, 0x80, 0x0a));
    for (const char* line :
         {"a.bmp b.bmp line 1 -2 30 40 3 #FF800A", "a.bmp b.bmp line 1 -2 30 40 3 #ff800a"}) {
        const auto parsed = parseBatchArguments(split(line));
        ASSERT_NE(parsed.operation, nullptr);
        EXPECT_STREQ(parsed.operation->name, "line");
        EXPECT_EQ(parsed.values, (std::vector<int>{1, -2, 30, 40, 3, orange})) << line;
    }
    EXPECT_EQ(parseBatchArguments(split("a.bmp b.bmp line 0 0 1 1 1 #000000")).values.back(), 0);
    EXPECT_EQ(parseBatchArguments(split("a.bmp b.bmp line 0 0 1 1 1 #FfFfFf")).values.back(),
              0xffffff);

    for (const char* colour : {"red", "#12345", "#1234567", "#ggg000", "ff8000", "#0x1234",
                               "#+12345", "# 12345", "255"}) {
        try {
            parseBatchArguments(split("a.bmp b.bmp line 1 2 3 4 5") << colour);
            ADD_FAILURE() << "accepted " << colour;
        } catch (const UsageError& error) {
            EXPECT_EQ(
                std::string(error.what()),
                std::string("COLOUR of line must be a colour written #rrggbb, not ") + colour);
        }
    }
    // Integers stay integers.
    EXPECT_THROW(parseBatchArguments(split("a.bmp b.bmp line 1 2 3 4 #000005 #000000")),
                 UsageError);
}

TEST(BatchArguments, CropAndResizeTakeTheirNumbers) {
    const auto crop = parseBatchArguments(split("a.bmp b.bmp crop 3 4 30 20"));
    ASSERT_NE(crop.operation, nullptr);
    EXPECT_STREQ(crop.operation->name, "crop");
    EXPECT_EQ(crop.values, (std::vector<int>{3, 4, 30, 20}));
    const auto resize = parseBatchArguments(split("a.bmp b.jpg resize 640 480 --repeat 2"));
    ASSERT_NE(resize.operation, nullptr);
    EXPECT_STREQ(resize.operation->name, "resize");
    EXPECT_EQ(resize.values, (std::vector<int>{640, 480}));
    EXPECT_EQ(resize.repeat, 2);
    for (const char* line :
         {"a.bmp b.bmp crop 1 2 3", "a.bmp b.bmp crop 1 2 3 4 5", "a.bmp b.bmp resize 640",
          "a.bmp b.bmp resize 640 480 1", "a.bmp b.bmp resize 640 4.5", "a.bmp b.bmp crop"}) {
        EXPECT_THROW(parseBatchArguments(split(line)), UsageError) << line;
    }
}

// The refusals come from the operations themselves, before any picture is made.
TEST(BatchArguments, CropAndResizeRefuseZonesAndSizesTheyCannotMake) {
    QImage picture(40, 30, QImage::Format_BGR888);
    picture.fill(Qt::darkCyan);
    const batch::OperationInfo* crop = batch::findOperation("crop");
    const batch::OperationInfo* resize = batch::findOperation("resize");
    ASSERT_NE(crop, nullptr);
    ASSERT_NE(resize, nullptr);
    for (const std::vector<int>& zone : {
             std::vector<int>{0, 1, 10, 10},  // columns count from 1
             std::vector<int>{1, 0, 10, 10},
             std::vector<int>{1, 1, 41, 30},  // one column too far
             std::vector<int>{1, 1, 40, 31},
             std::vector<int>{41, 31, 41, 31},
             std::vector<int>{10, 5, 9, 20},  // empty
             std::vector<int>{5, 10, 20, 9},
             std::vector<int>{-5, -5, -1, -1},
         }) {
        QImage copy = picture;
        EXPECT_THROW(crop->apply(copy, zone), batch::OperationError)
            << zone[0] << "," << zone[1] << " to " << zone[2] << "," << zone[3];
        EXPECT_EQ(copy.size(), picture.size());
    }
    for (const std::vector<int>& size : {
             std::vector<int>{0, 10}, std::vector<int>{10, 0}, std::vector<int>{-640, 480},
             std::vector<int>{30001, 1}, std::vector<int>{1, 30001},
             std::vector<int>{20000, 20000},  // 400 M pixels
             std::vector<int>{10000, 12001},  // just above 120 M
         }) {
        QImage copy = picture;
        EXPECT_THROW(resize->apply(copy, size), batch::OperationError)
            << size[0] << " x " << size[1];
        EXPECT_EQ(copy.size(), picture.size());
    }
    // Each side may reach the limit.
    for (const QSize size : {QSize(30000, 1), QSize(1, 30000)}) {
        QImage copy = picture;
        resize->apply(copy, std::vector<int>{size.width(), size.height()});
        EXPECT_EQ(copy.size(), size);
    }
}

TEST(BatchArguments, BadArgumentsAreUsageErrors) {
    for (const char* line : {
             "",
             "only-input.bmp",
             "a.bmp b.tga",                          // output type we cannot write
             "a.bmp b",                              // no extension
             "a.bmp b.bmp twist 1 2 3 4",            // unknown operation
             "a.bmp b.bmp bulge 1 2 3",              // too few
             "a.bmp b.bmp bulge 1 2 3 4 5",          // too many
             "a.bmp b.bmp bulge 1 2 x 4",            // not a number
             "a.bmp b.bmp bulge 1 2 3.0 4",          // not a whole number
             "a.bmp b.bmp bulge 1 2 +3 4",           // no plus signs
             "a.bmp b.bmp bulge 1 2 1e3 4",          //
             "a.bmp b.bmp bulge 1 2 99999999999 4",  // beyond int
             "a.bmp b.bmp bulge 1 2 3 4 --repeat",
             "a.bmp b.bmp bulge 1 2 3 4 --repeat 0",
             "a.bmp b.bmp bulge 1 2 3 4 --repeat -2",
             "a.bmp b.bmp bulge 1 2 3 4 --repeat two",
             "a.bmp b.bmp bulge 1 2 3 4 --repeat 2 --repeat 3",
             "a.bmp b.bmp --repeat 2",  // nothing to repeat
             "a.bmp b.bmp bulge 1 2 3 4 --fast",
         }) {
        QStringList words = split(line);
        if (words == QStringList{""}) {
            words.clear();
        }
        EXPECT_THROW(parseBatchArguments(words), UsageError) << '"' << line << '"';
    }
}

TEST(BatchArguments, UsageListsEveryOperationWithItsArguments) {
    const QString usage = batch::usageText();
    EXPECT_TRUE(usage.startsWith("Usage: mugwarp-batch INPUT OUTPUT"));
    for (const batch::OperationInfo& operation : batch::operationTable()) {
        QStringList names;
        for (const batch::Argument& argument : operation.arguments) {
            names.append(QString::fromLatin1(argument.name));
        }
        QString synopsis = QString::fromLatin1(operation.name);
        if (!names.isEmpty()) {
            synopsis +=
                operation.defaults.empty() ? ' ' + names.join(' ') : " [" + names.join(' ') + ']';
        }
        EXPECT_TRUE(usage.contains(synopsis)) << synopsis.toStdString();
    }
}

TEST(BatchArguments, FaceSlidersAreWordsAndFacesListsOnly) {
    const auto smile = parseBatchArguments(split("a.jpg b.png face smile -40"));
    ASSERT_NE(smile.operation, nullptr);
    const auto& words = smile.operation->arguments[0].words;
    ASSERT_EQ(words.size(), 16u);
    EXPECT_EQ(words[static_cast<size_t>(smile.values[0])], "smile");
    EXPECT_EQ(smile.values[1], -40);
    EXPECT_THROW(parseBatchArguments(split("a.jpg b.png face grin 10")), UsageError);
    EXPECT_EQ(parseBatchArguments(split("a.jpg b.png caricature 60")).values,
              (std::vector<int>{60}));

    const auto faces = parseBatchArguments(split("--faces in.jpg"));
    EXPECT_TRUE(faces.listFaces);
    EXPECT_EQ(faces.input, "in.jpg");
    EXPECT_THROW(parseBatchArguments(split("--faces in.jpg out.png")), UsageError);
}

}  // namespace

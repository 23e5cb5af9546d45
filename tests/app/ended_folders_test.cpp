// Which recorder folders an ended Mugwarp left, and which recovery copy among them is offered.
#include <gtest/gtest.h>

#include "app/ended_folders.h"

TEST(EndedFolders, CandidatesAreTheProgramsFolderAndTheCachesProcessFolders) {
    EXPECT_EQ(recorderFolderCandidates("/opt/mw", "/home/u/.cache/mw",
                                       {"recorder-12", "recorder-", "recorder-7x", "other",
                                        "recorder-345", "recorder-12.lock"}),
              (QStringList{"/opt/mw/recorder/", "/home/u/.cache/mw/recorder-12/",
                           "/home/u/.cache/mw/recorder-345/"}));
}

TEST(EndedFolders, RunningProgramsAreLeftOutAndTheNewestCopyComesFirst) {
    const std::vector<SeenRecorderFolder> seen{
        // Frames only.
        {"/c/recorder-1/", false, {}},
        // A running program's copy is newer than any, and still not offered.
        {"/c/recorder-2/", true, {{"live.bmp", 900}}},
        // Two copies (killed between writing the new name and removing the old): the newer.
        // A write cut off left its temporary file, newest of all, which is no copy.
        {"/p/recorder/",
         false,
         {{"old.bmp", 100}, {"face.bmp", 300}, {".face.bmp.mugwarp-save-4711", 400}}},
        {"/c/recorder-3/", false, {{"cat.bmp", 200}, {"notes.txt", 500}}},
        // A temporary file alone leaves the folder without a copy.
        {"/c/recorder-4/", false, {{".cat.bmp.mugwarp-save-4711", 600}}},
        // An empty base name gives a copy named by the extension alone.
        {"/c/recorder-5/", false, {{".bmp", 50}}},
    };
    const std::vector<EndedRecorderFolder> expected{
        {"/p/recorder/", "/p/recorder/recovery/face.bmp", 300},
        {"/c/recorder-3/", "/c/recorder-3/recovery/cat.bmp", 200},
        {"/c/recorder-5/", "/c/recorder-5/recovery/.bmp", 50},
        {"/c/recorder-1/", "", 0},
        {"/c/recorder-4/", "", 0},
    };
    EXPECT_EQ(endedRecorderFolders(seen), expected);
    EXPECT_TRUE(endedRecorderFolders({{"/c/recorder-2/", true, {{"live.bmp", 900}}}}).empty());
}

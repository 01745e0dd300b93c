#include "FolderList.h"
#include "FileNames.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vistrel;
using Names = std::vector<std::string>;

namespace {

Names namesOf(const FolderList& list) {
    Names names;
    for (int32_t i = 0; i < list.count(); ++i)
        names.push_back(list.nameAt(i));
    return names;
}

} // namespace

TEST(FolderList, ListsViewableEntriesInCaseInsensitiveOrder) {
    test::ScratchFolder folder;
    for (const char* name : {"b.JPG", "A.png", "c.txt", "E.Psd", "x.jpgx", "y.jp", "z.jpeg"})
        folder.file(name);
    folder.folder("d.gif"); // a folder whose name matches is listed like a file
    FolderList list;
    list.build(folder.path() + "A.png");
    // "*.jpe" must not find z.jpeg a second time: there are no short names.
    EXPECT_EQ(namesOf(list), (Names{"A.png", "b.JPG", "d.gif", "E.Psd", "z.jpeg"}));
    EXPECT_EQ(list.folder(), folder.path());
    EXPECT_EQ(list.pathAt(1), folder.path() + "b.JPG");

    test::ScratchFolder accented; // case folds beyond ASCII
    accented.file("\u00C9b.png");
    accented.file("\u00E9a.png");
    list.build(accented.path() + "x");
    EXPECT_EQ(namesOf(list), (Names{"\u00E9a.png", "\u00C9b.png"}));

    list.build(folder.path() + "missing/a.png"); // a folder that cannot be read
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.pathAt(0), "");
}

TEST(FolderList, IndexOfIsALowerBoundAndFindsEveryNameAtItsOwnPlace) {
    test::ScratchFolder folder;
    for (const char* name : {"a.png", "c.png", "e.png"})
        folder.file(name);
    FolderList list;
    list.build(folder.path() + "a.png");
    EXPECT_EQ(list.indexOf("c.png"), 1);
    EXPECT_EQ(list.indexOf("C.PNG"), 1); // case does not matter
    EXPECT_EQ(list.indexOf("b.png"), 1); // not listed: where it would stand
    EXPECT_EQ(list.indexOf("d"), 2);
    EXPECT_EQ(list.indexOf("f.png"), -1); // past the end
    EXPECT_EQ(list.indexOf(""), 0);       // a pasted picture has no name

#ifndef _WIN32 // where names are UTF-16 and differ by more than case
    // A case-sensitive file system can hold names differing only in case, and names that are
    // not UTF-8 all read as U+FFFD; stepping from one must not find another.
    for (const char* name : {"photo.png", "PHOTO.png", "Photo.png", "\xFF.png", "\xFE.png"})
        folder.file(name);
    list.build(folder.path() + "a.png");
    ASSERT_EQ(list.count(), 8);
    for (int32_t i = 0; i < list.count(); ++i)
        EXPECT_EQ(list.indexOf(list.nameAt(i)), i);
#endif
}

TEST(FolderList, UnsortedListKeepsPatternOrderAndMergesNothing) {
    test::ScratchFolder folder;
    folder.file("z.png");
    folder.file("a.bmp");
    FolderList list;
    list.patterns = "*.png,,*.bmp,*.PNG";
    list.sorted = false;
    list.build(folder.path() + "a.bmp");
    EXPECT_EQ(namesOf(list), (Names{"z.png", "a.bmp", "z.png"}));
}

TEST(FileNames, PatternsMatchLikeADirectorySearch) {
    EXPECT_TRUE(matchesPattern("holiday.2019.JPG", "*.jpg")); // "*" gives back what it took
    EXPECT_TRUE(matchesPattern(".jpg", "*.jpg"));
    EXPECT_FALSE(matchesPattern("x.jpeg", "*.jpe"));
    EXPECT_FALSE(matchesPattern("x.jpg.txt", "*.jpg"));
    EXPECT_TRUE(matchesPattern("\xC3\xA9.png", "?.png")); // "?" takes one character, not a byte
    EXPECT_FALSE(matchesPattern("ab.png", "?.png"));
    EXPECT_FALSE(matchesPattern("\xC3", "?x")); // a cut sequence does not run past the end
    EXPECT_TRUE(matchesPattern("anything", "**"));
}

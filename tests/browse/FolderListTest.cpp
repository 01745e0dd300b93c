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

TEST(FolderList, NaturalOrderCountsNumbersByValueAsFileManagersDo) {
    // Shuffled: the file system's own order must not leak into the list.
    const Names natural = {
        "img.png", // a "." before anything else in its place
        "IMG1.png",
        "img2.png",
        "img02.png", // equal values: fewer leading zeros first
        "img7.png",
        "img007.png",
        "img8.png", // the zeros decide only between equal values
        "img10.png",
        "img10a.png",
        "Img10b.png",
        "img100.png",
        "img9223372036854775808.png", // 2^63 before 10^20 - 1, which wraps in 64 bits
        "img99999999999999999999.png",
        "v1.9.png",
        "v1.10.png",
        "x0.png",
        "x00.png",
        "x1.png"};
    test::ScratchFolder folder;
    for (std::size_t i = 0; i < natural.size(); ++i)
        folder.file(natural[(i * 7) % natural.size()]);
    FolderList list;
    list.build(folder.path() + "x");
    EXPECT_EQ(namesOf(list), natural);
    for (int32_t i = 0; i < list.count(); ++i)
        EXPECT_EQ(list.indexOf(list.nameAt(i)), i) << list.nameAt(i);
    EXPECT_LT(naturalKey("a01b"), naturalKey("a1c")); // the rest of the name comes first

    test::ScratchFolder accented; // the text between numbers folds case beyond ASCII
    for (const char* name : {"\u00C9mile10.png", "emile3.png", "\u00E9mile2.png"})
        accented.file(name);
    list.build(accented.path() + "x");
    EXPECT_EQ(namesOf(list), (Names{"emile3.png", "\u00E9mile2.png", "\u00C9mile10.png"}));

    // The plain order, kept behind the setting: digit by digit.
    list.natural = false;
    list.build(folder.path() + "x");
    EXPECT_LT(list.findName("img10.png"), list.findName("img2.png"));
    EXPECT_LT(list.findName("img02.png"), list.findName("IMG1.png"));
}

TEST(FolderList, AddedNamesJoinAtTheirPlaceOnce) {
    test::ScratchFolder folder;
    for (const char* name : {"img1.png", "img3.png", "img20.png"})
        folder.file(name);
    FolderList list;
    list.build(folder.path() + "img1.png");
    EXPECT_TRUE(list.add("img10.png"));
    EXPECT_TRUE(list.add("IMG2.JPG"));
    EXPECT_FALSE(list.add("img3.png")); // listed already
    EXPECT_FALSE(list.add("img4.txt")); // matches no pattern
    EXPECT_FALSE(list.add(""));
    EXPECT_EQ(namesOf(list), (Names{"img1.png", "IMG2.JPG", "img3.png", "img10.png", "img20.png"}));
    EXPECT_EQ(list.findName("img10.png"), 3);
    EXPECT_EQ(list.findName("img11.png"), -1);

    list.sorted = false; // an unsorted list takes it at its end
    EXPECT_TRUE(list.add("img0.png"));
    EXPECT_EQ(list.findName("img0.png"), 5);

    list.assign({folder.path() + "img3.png"}); // a command line's own list does not follow
    EXPECT_FALSE(list.add("img5.png"));
    EXPECT_EQ(list.findName("img3.png"), -1);
    EXPECT_EQ(list.find(folder.path() + "img3.png"), 0);
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

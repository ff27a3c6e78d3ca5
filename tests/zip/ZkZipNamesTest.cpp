#include <gtest/gtest.h>

#include "base/ZkDateTime.h"
#include "zip/ZkZip.h"
#include "zip/ZkZipFormat.h"

namespace zk {
namespace {

using zipformat::DosDateTime;

struct NameCase {
  const char* Path;
  bool KeepDrive;
  PathStyle Style;
  const char* ZipName;
  const char* Back;
};

TEST(ZipNameTest, ToAndFromZipNameInBothStyles) {
  const NameCase cases[] = {
      {"C:\\Data\\a.txt", false, PathStyle::Windows, "Data/a.txt", "Data\\a.txt"},
      {"C:\\Data\\a.txt", true, PathStyle::Windows, "C/Data/a.txt", "C\\Data\\a.txt"},
      {"\\\\srv\\share\\Data\\a.txt", false, PathStyle::Windows, "Data/a.txt", "Data\\a.txt"},
      {"\\\\srv\\share\\Data\\a.txt", true, PathStyle::Windows, "Data/a.txt", "Data\\a.txt"},
      {"C:\\Data\\Sub\\", true, PathStyle::Windows, "C/Data/Sub/", "C\\Data\\Sub\\"},
      {"Számla\\Év.txt", false, PathStyle::Windows, "Számla/Év.txt", "Számla\\Év.txt"},
      {"/home/u/a.txt", false, PathStyle::Posix, "home/u/a.txt", "home/u/a.txt"},
      {"/home/u/a.txt", true, PathStyle::Posix, "home/u/a.txt", "home/u/a.txt"},
      {"rel/a.txt", false, PathStyle::Posix, "rel/a.txt", "rel/a.txt"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(ToZipName(c.Path, c.KeepDrive, c.Style), c.ZipName);
    EXPECT_EQ(FromZipName(c.Path, c.KeepDrive, c.Style), c.Back);
  }
}

TEST(ZipNameTest, DisplayNameTurnsSeparatorsAndDropsTheDrive) {
  EXPECT_EQ(ZipDisplayName("C/Data/a.txt", PathStyle::Windows), "C\\Data\\a.txt");
  EXPECT_EQ(ZipDisplayName("C:/Data//a.txt", PathStyle::Windows), "Data\\a.txt");
  EXPECT_EQ(ZipDisplayName("home/u/a.txt", PathStyle::Posix), "home/u/a.txt");
}

TEST(ZipNameTest, EntryNamesAreCp852WhenEveryCharacterMapsElseUtf8) {
  const auto hungarian = zipformat::EncodeEntryName("Árvíztűrő tükörfúrógép.txt");
  EXPECT_FALSE(hungarian.Utf8);
  EXPECT_EQ(hungarian.Bytes.size(), 26u);
  EXPECT_EQ(static_cast<unsigned char>(hungarian.Bytes[0]), 0xB5);  // Á
  EXPECT_EQ(zipformat::DecodeEntryName(hungarian.Bytes, false), "Árvíztűrő tükörfúrógép.txt");

  for (const char* name : {"Õ.txt", "€uro.txt", "名前.txt"}) {
    const auto stored = zipformat::EncodeEntryName(name);
    EXPECT_TRUE(stored.Utf8) << name;
    EXPECT_EQ(stored.Bytes, name);
    EXPECT_EQ(zipformat::DecodeEntryName(stored.Bytes, true), name);
  }
  const auto ascii = zipformat::EncodeEntryName("plain/a.txt");
  EXPECT_FALSE(ascii.Utf8);
  EXPECT_EQ(ascii.Bytes, "plain/a.txt");
}

TEST(ZipNameTest, NamesThatAreNotUtf8AreStoredAsTheirBytesWithoutTheFlag) {
  // Also the shapes of UTF-8 that are not UTF-8: an encoded surrogate, an
  // overlong "/", a code point above U+10FFFF.
  for (const char* name : {"caf\xe9.txt", "\xff\xfe", "mixed/\xc3\x28.bin", "sur\xed\xa0\x80.txt",
                           "over\xc0\xaf.txt", "big\xf4\x90\x80\x80.txt"}) {
    const auto stored = zipformat::EncodeEntryName(name);
    EXPECT_FALSE(stored.Utf8) << name;
    EXPECT_TRUE(stored.Raw) << name;
    EXPECT_EQ(stored.Bytes, name);
    // Taken as the DOS code page, readers that convert would change them.
    EXPECT_NE(zipformat::VersionMadeBy(stored) >> 8, zipformat::kHostFat) << name;
  }
  EXPECT_FALSE(zipformat::EncodeEntryName("Árvíz.txt").Raw);
  EXPECT_EQ(zipformat::VersionMadeBy(zipformat::EncodeEntryName("Árvíz.txt")), 20);
}

TEST(ZipNameTest, PosixNamesMatchExactlyWindowsNamesIgnoreTheCaseOfAToZ) {
  struct Case {
    const char* A;
    const char* B;
    bool SamePosix;
    bool SameWindows;
  } cases[] = {
      {"dir/a.txt", "dir/a.txt", true, true},
      {"dir/a.txt", "dir/A.txt", false, true},
      {"DIR/A.TXT", "dir/a.txt", false, true},
      {"Árvíz.txt", "árvíz.txt", false, false},  // accented letters match exactly
      {"caf\xe9.txt", "caf\xc9.txt", false, false},
      {"caf\xe9.txt", "CAF\xe9.TXT", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.A) + " / " + c.B);
    EXPECT_EQ(EntryNameKey(c.A, PathStyle::Posix) == EntryNameKey(c.B, PathStyle::Posix), c.SamePosix);
    EXPECT_EQ(EntryNameKey(c.A, PathStyle::Windows) == EntryNameKey(c.B, PathStyle::Windows), c.SameWindows);
  }
}

TEST(DosDateTimeTest, EncodesTheFieldsAndZeroOutsideTheRange) {
  struct Case {
    TDateTime Moment;
    std::uint16_t Time, Date;
  } cases[] = {
      {EncodeDateTime(2024, 1, 5, 9, 7, 33, 900), 9 * 2048 + 7 * 32 + 16, (2024 - 1980) * 512 + 1 * 32 + 5},
      {EncodeDateTime(1980, 1, 1, 0, 0, 0, 0), 0, 1 * 32 + 1},
      {EncodeDateTime(2107, 12, 31, 23, 59, 58, 0), 23 * 2048 + 59 * 32 + 29, 127 * 512 + 12 * 32 + 31},
      {EncodeDateTime(1979, 12, 31, 23, 59, 59, 0), 0, 0},
      {EncodeDateTime(2108, 1, 1, 0, 0, 0, 0), 0, 0},
  };
  for (const Case& c : cases) {
    const DosDateTime dos = zipformat::ToDosDateTime(c.Moment);
    EXPECT_EQ(dos.Time, c.Time);
    EXPECT_EQ(dos.Date, c.Date);
  }
  EXPECT_EQ(zipformat::FromDosDateTime({9 * 2048 + 7 * 32 + 16, (2024 - 1980) * 512 + 32 + 5}),
            EncodeDateTime(2024, 1, 5, 9, 7, 32, 0));
}

TEST(DosDateTimeTest, InvalidForeignValuesGiveAUsableMoment) {
  // Month 0, day 0, February 30, and a time of 25:70:62.
  EXPECT_EQ(zipformat::FromDosDateTime({0, 0}), 0);
  EXPECT_EQ(zipformat::FromDosDateTime({0, (2000 - 1980) * 512 + 2 * 32 + 30}), 0);
  EXPECT_EQ(zipformat::FromDosDateTime({25 * 2048 + 70 * 32 + 31, (2000 - 1980) * 512 + 3 * 32 + 1}),
            EncodeDate(2000, 3, 1));
}

}  // namespace
}  // namespace zk

// Writes the starting books checked in beside this file:
//   wab_make_corpus DIR
// Small tables keep each book a few kilobytes.
#include <cstdio>
#include <filesystem>

#include "support/WabWriter.h"

using namespace testsupport::wab;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: wab_make_corpus DIR\n", stderr);
    return 2;
  }
  const std::filesystem::path dir = argv[1];

  Book generated = testsupport::GeneratedBook(4);
  generated.capacity = 8;
  WriteBookFile(dir / "generated.wab", generated);

  Book eightBit;
  eightBit.capacity = 4;
  eightBit.records.push_back(Contact(2, {String8(kGivenName, "Jürgen"), String8(kSurname, "Müller"),
                                         String8(kComment, "Zeile 1\r\nZeile 2")}));
  eightBit.records.push_back(Contact(3, {String8(kGivenName, "太郎", 932), String8(kSurname, "山田", 932)}));
  for (auto& p : Emails({"a@example.com", "b@example.com"}, 1, true)) eightBit.records[0].properties.push_back(p);
  WriteBookFile(dir / "eight-bit.wab", eightBit);

  Book copies;
  copies.capacity = 6;
  copies.oldSignature = true;
  copies.tablesAfterRecords = true;
  copies.records.push_back(Folder(2, "Contacts", {3, 4, 5}));
  copies.records.push_back(Obsolete(Contact(3, {Unicode(kGivenName, "Old")})));
  copies.records.push_back(Contact(3, {Unicode(kGivenName, "New"), Unicode(kSurname, "Name")}));
  copies.records.push_back(Obsolete(Contact(4, {Unicode(kGivenName, "Deleted")})));
  copies.records.push_back(Contact(5, {Unicode(kDisplayName, "mail@example.com"),
                                       Unicode(kEmailAddress, "mail@example.com")}));
  copies.records.push_back(Group(6, "Group", {3, 4, 5}));
  copies.indexOrder = {5, 2, 3, 6};
  WriteBookFile(dir / "copies-old-signature.wab", copies);

  Book texts;
  texts.capacity = 4;
  texts.records.push_back(Contact(2, {Unicode(kGivenName, "A|B \"q\" \\"), Unicode(kSurname, "  Ωμέγα  "),
                                      Unicode(kComment, "😀 𠮷 太郎\r\n\t"), Unicode(kHomeStreet, "1 Road\r\nTown")}));
  texts.records.push_back(Contact(3, {}));
  texts.records.push_back(Contact(4, {Unicode(kGivenName, "   "), MvUnicode(kEmailAddresses, {"", "x@y"}),
                                      Long(kDefaultAddressIndex, 5)}));
  WriteBookFile(dir / "texts.wab", texts);

  // Nested folders, a group with a dangling member and a one-off entry, a
  // deleted contact, and the property types the model decodes.
  Book whole;
  whole.capacity = 6;
  Record root = Folder(2, "Root", {3});
  root.properties.push_back(RawList(Tag(0x8005, kBinary | kMv), {FolderLink(4).elements[0]}));
  whole.records.push_back(root);
  Record sub = Folder(4, "Sub", {});
  sub.properties.push_back(FolderLink(2));
  whole.records.push_back(sub);
  whole.records.push_back(Contact(3, {Unicode(kDisplayName, "Ann"), FolderLink(4), MvUnicode(0x3A58, {"Kid"}),
                                      Raw(Tag(0x3A4D, kI2), std::string("\x01\x00", 2)),
                                      SysTime(0x3A42, 130560000000000000ull), Unicode(0x800A, "ip"),
                                      RawList(Tag(0x3A60, 0x1003), {std::string(4, '\x01')})}));
  Record group = Group(5, "Friends", {3, 99});
  const std::string oneOff = std::string(4, '\0') +
                             "\x81\x2B\x1F\xA4\xBE\xA3\x10\x19\x9D\x6E\x00\xDD\x01\x0F\x54\x02" +
                             std::string("\0\0\x01\x00", 4) + std::string("Bo\0SMTP\0bo@example.org\0", 23);
  group.properties.push_back(RawList(Tag(0x8009, kBinary | kMv), {oneOff}));
  whole.records.push_back(group);
  whole.records.push_back(Obsolete(Contact(6, {Unicode(kDisplayName, "Gone"), FolderLink(4)})));
  WriteBookFile(dir / "whole-book.wab", whole);
  return 0;
}

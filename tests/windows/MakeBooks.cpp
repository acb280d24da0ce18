// Writes the books the Windows stage of scripts/test.sh converts with both
// builds: a generated book of realistic contacts, one in Polish and Russian
// (Unicode and 8-bit fields), and one in Japanese. Characters that GNU
// iconv's code page 932 takes one way only (U+301C WAVE DASH becomes 0x8160
// there, "?" under Windows' own table) are left out: the two systems differ
// on them by design.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/WabWriter.h"

namespace w = testsupport::wab;

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fputs("usage: addrivo_make_books FOLDER [CONTACTS]\n", stderr);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  testsupport::WriteGeneratedBook(dir / "generated.wab", argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 500);

  w::Book mixed;
  mixed.records.push_back(w::Contact(2, {w::Unicode(w::kGivenName, "Łukasz"), w::Unicode(w::kSurname, "Żółć"),
                                         w::Unicode(w::kEmailAddress, "lukasz@example.pl"),
                                         w::Unicode(w::kCity, "Gdańsk"), w::Unicode(w::kComment, "zażółć gęślą jaźń")}));
  mixed.records.push_back(w::Contact(3, {w::Unicode(w::kGivenName, "Анна"), w::Unicode(w::kSurname, "Петрова"),
                                         w::Unicode(w::kCity, "Москва"), w::Unicode(w::kCompanyName, "ООО «Ромашка»")}));
  mixed.records.push_back(w::Contact(4, {w::String8(w::kGivenName, "Zofia", 1250),
                                         w::String8(w::kSurname, "Wąsowska", 1250),
                                         w::String8(w::kCity, "Łódź", 1250)}));
  w::WriteBookFile(dir / "mixed.wab", mixed);

  w::Book japanese;
  japanese.records.push_back(w::Contact(2, {w::Unicode(w::kGivenName, "太郎"), w::Unicode(w::kSurname, "平岡"),
                                            w::Unicode(w::kCity, "東京都"), w::Unicode(w::kComment, "ｶﾀｶﾅ・テスト")}));
  japanese.records.push_back(w::Contact(3, {w::String8(w::kGivenName, "花子", 932),
                                            w::String8(w::kSurname, "山田", 932)}));
  w::WriteBookFile(dir / "japanese.wab", japanese);
  return 0;
}

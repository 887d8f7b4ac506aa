#include "base/program_search.h"

#include <gtest/gtest.h>

#include <set>

#include "launching/shell_errors.h"

namespace tvn {
namespace {

class FakeProbe : public FileProbe {
 public:
  explicit FakeProbe(std::set<Text> files) : files_(std::move(files)) {}
  bool IsFile(const Text& path) override { return files_.count(path) != 0; }

 private:
  std::set<Text> files_;
};

const Text kSystem = u"C:\\WINDOWS\\system32";
const Text kWindows = u"C:\\WINDOWS";

SearchPlaces Places() {
  SearchPlaces places;
  places.system = {kSystem, kWindows};
  places.path = SplitSearchPath(u"C:\\Tools;bin;\"D:\\My Apps\";;.;C:\\;%SystemRoot%\\x;\\rooted");
  places.untrusted = {u"C:\\", u"C:\\shared tools\\"};
  places.extensions = SplitExtensions(u".com;.exe;bat;.;.cmd");
  return places;
}

TEST(ProgramSearch, ListsKeepOnlyFullFoldersAndRealExtensions) {
  EXPECT_EQ(Places().path, (std::vector<Text>{u"C:\\Tools", u"D:\\My Apps", u"C:\\"}));
  EXPECT_EQ(Places().extensions, (std::vector<Text>{u".com", u".exe", u".cmd"}));
  EXPECT_EQ(SplitExtensions(u";."), (std::vector<Text>{u".COM", u".EXE", u".BAT", u".CMD"}));
  EXPECT_TRUE(HasPathSeparator(u"mailto:x") && HasPathSeparator(u"bin/x") && !HasPathSeparator(u"rundll32.exe"));
  EXPECT_TRUE(SameFolder(u"c:/windows/", u"C:\\WINDOWS") && SameFolder(u"c:\\az", u"C:\\AZ"));
  EXPECT_FALSE(SameFolder(u"C:\\WINDOWS", u"C:\\WINDOWS\\system32"));
}

TEST(ProgramSearch, CandidatesGoFolderByFolderAndNeverGetCut) {
  EXPECT_EQ(SearchCandidates(u"control", {kSystem, kWindows}, {u".com", u".exe"}),
            (std::vector<Text>{kSystem + u"\\control.com", kSystem + u"\\control.exe", kWindows + u"\\control.com",
                               kWindows + u"\\control.exe"}));
  // A name with an extension, or no extensions to try: the name as written.
  EXPECT_EQ(SearchCandidates(u"compmgmt.msc", {kSystem}, {u".exe"}), std::vector<Text>{kSystem + u"\\compmgmt.msc"});
  EXPECT_EQ(SearchCandidates(u"shell32", {kSystem}, {}), std::vector<Text>{kSystem + u"\\shell32"});
  const Text name(kPathUnits - kSystem.size() - 5, u'n');  // fits without an extension only
  EXPECT_EQ(SearchCandidates(name, {kSystem}, {u".exe"}), std::vector<Text>{});
}

TEST(ProgramSearch, SystemFoldersComeFirstAndTheRootIsNeverUsed) {
  FakeProbe probe({kWindows + u"\\regedit.exe", u"C:\\regedit.exe", kSystem + u"\\control.exe",
                   u"C:\\Tools\\control.exe", u"D:\\My Apps\\tool.cmd", u"C:\\planted.txt",
                   u"C:\\shared tools\\helper.exe", u"C:\\only.exe"});
  const SearchPlaces places = Places();
  SearchResult r = FindFile(u"regedit.exe", places, probe);
  EXPECT_EQ(r.outcome, SearchOutcome::kFound);
  EXPECT_EQ(r.path, kWindows + u"\\regedit.exe");
  EXPECT_EQ(FindFile(u"control", places, probe).path, kSystem + u"\\control.exe");
  EXPECT_EQ(FindFile(u"tool", places, probe).path, u"D:\\My Apps\\tool.cmd");
  // Only where the shell would look first: refused, even with PATH naming C:\.
  for (const char16_t* name : {u"planted.txt", u"helper", u"only.exe"}) {
    EXPECT_EQ(FindFile(name, places, probe).outcome, SearchOutcome::kRefused) << ToUtf8(name);
  }
  EXPECT_EQ(FindFile(u"wordpad.exe", places, probe).outcome, SearchOutcome::kNotFound);
  for (const Text& name : {Text(u"C:\\x\\regedit.exe"), Text(), Text(kPathUnits, u'x')}) {
    EXPECT_EQ(FindFile(name, places, probe).outcome, SearchOutcome::kNotSearched);
  }
  // The system folder as the current directory stays trusted.
  SearchPlaces started = places;
  started.untrusted.push_back(kSystem + u"\\");
  EXPECT_EQ(FindFile(u"control.exe", started, probe).path, kSystem + u"\\control.exe");
}

TEST(ShellErrors, EachShellResultGivesTheSystemErrorOfItsMeaning) {
  const std::pair<std::intptr_t, std::uint32_t> table[] = {
      {2, 2},     {3, 3},     {5, 5},     {8, 8},     {10, 1150}, {11, 11}, {26, 32}, {27, 1155},
      {28, 1156}, {29, 1156}, {30, 1156}, {31, 1155}, {32, 1157}, {0, 31},  {1, 31},  {33, 31}};
  for (const auto& [shell, system] : table) EXPECT_EQ(SystemErrorOfShellResult(shell), system) << shell;
}

}  // namespace
}  // namespace tvn

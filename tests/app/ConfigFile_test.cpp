#include "app/ConfigFile.h"

#include <gtest/gtest.h>

#include "OrvaneBuildConfig.h"
#include "support/TestSupport.h"

namespace orvane {
namespace {

using test::ReadFileBytes;
using test::ScopedCwd;
using test::TempDir;
using test::WriteFileBytes;

// Both built as new strings: GCC 12 warns wrongly (-Wrestrict) about
// std::string::insert and replace inlined here in the 32-bit Windows build.
std::string EscapeSlashes(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '/') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  std::string replaced;
  std::size_t start = 0;
  for (std::size_t pos = 0; (pos = text.find(from, start)) != std::string::npos; start = pos + from.size())
    replaced.append(text, start, pos - start).append(to);
  return replaced.append(text, start);
}

TEST(WriteConfigFile, BuiltInListGivesTheExactPublishedBytes) {
  const std::string example =
      R"({"downloadLinks":{"listHelper":[{"itemName":"teamviewer","uRL":"BASE\/TeamViewerQS.exe","fileName":"TeamViewerQS.exe","optArgs":"","sha256":"sha"},{"itemName":"remotely_x86","uRL":"BASE\/Remotely_Desktop-[a735]_x86.exe","fileName":"Remotely_Desktop-[a735]_x86.exe","optArgs":"","sha256":"sha"},{"itemName":"remotely_x64","uRL":"BASE\/Remotely_Desktop-[a735]_x64.exe","fileName":"Remotely_Desktop-[a735]_x64.exe","optArgs":"","sha256":"sha"},{"itemName":"remotely_install","uRL":"BASE\/Remotely_Install-[a735].exe","fileName":"Remotely_Install-[a735].exe","optArgs":"-install -quiet -organizationid \"4c1e9b07-72fd-4e58-b0a3-19d6f2e8a4c5\" -serverurl \"RSERVER\"","sha256":"sha"}]},"defaultItemIndex":1})";
  const std::string expected =
      ReplaceAll(ReplaceAll(example, "BASE", EscapeSlashes(ORVANE_DOWNLOAD_BASE_URL)), "RSERVER",
                 EscapeSlashes(ORVANE_REMOTELY_SERVER_URL)) +
      "\r\n";

  const TempDir dir;
  const ScopedCwd cwd(dir.path());
  TRemoteSupportConfig config;
  config.CreateDummyConfig();
  // An existing, longer file is truncated.
  WriteFileBytes(dir / kConfigFileName, std::string(4000, 'x'));
  WriteConfigFile(kConfigFileName, config);
  EXPECT_EQ(ReadFileBytes(dir / kConfigFileName), expected);
}

TEST(WriteConfigFile, RoundTripKeepsEveryText) {
  const TempDir dir;
  const std::string file = (dir / "round.json").string();
  const TRemoteSupportConfig configs[] = {
      TRemoteSupportConfig(
          std::vector<TRemoteSupportItem>{
              {"teamviewer", "TeamViewerQS.exe", "http://h/TeamViewerQS.exe",
               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", ""},
              {"gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", "a\tb\\c\"d", "http://h/x?y=1&z=/", "",
               "line1\r\nline2\x01"},
          },
          -3),
      TRemoteSupportConfig(std::vector<TRemoteSupportItem>{}, 0),
      TRemoteSupportConfig(std::nullopt, 2),
  };
  for (const TRemoteSupportConfig& config : configs) {
    WriteConfigFile(file, config);
    const std::string bytes = ReadFileBytes(file);
    for (const char c : bytes.substr(0, bytes.size() - 2))
      ASSERT_TRUE(c >= 0x20 && c <= 0x7F) << "not ASCII text: " << bytes;
    EXPECT_EQ(ReadConfigFile(file), config) << bytes;
  }
}

// The reader's outcome in one line: "none", an error message, or the option
// list ("nolist" or [name|url|file|args|sha;...]) and the default index.
std::string Outcome(std::string_view bytes) {
  std::optional<TRemoteSupportConfig> config;
  try {
    config = ReadConfigFromBytes(bytes);
  } catch (const EConvertError& e) {
    return std::string("error: ") + e.what();
  }
  if (!config) return "none";
  std::string text;
  if (!config->HasOptionList()) {
    text = "nolist";
  } else {
    text = "[";
    for (int i = 0; i < config->NumberOfLinks(); ++i) {
      const TRemoteSupportItem& item = config->GetElementByIndex(i);
      if (i > 0) text += ";";
      text += item.ItemName() + "|" + item.url() + "|" + item.FielName() + "|" + item.OptArgs() + "|" +
              item.sha256();
    }
    text += "]";
  }
  return text + " default=" + std::to_string(config->DefaultItemIndex());
}

std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t u : text) {
    const char hi = static_cast<char>(u >> 8);
    const char lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

constexpr char kNotAnObject[] = "error: Der Eingabewert ist kein gültiges Objekt";
constexpr char kOneOption[] = "[a|http://h/a.exe|a.exe|-x|s] default=2";

TEST(ReadConfigFromBytes, AcceptsTheFileShapes) {
  const struct {
    const char* name;
    std::string input;
    std::string outcome;
  } cases[] = {
      {"compact",
       R"({"downloadLinks":{"listHelper":[{"itemName":"a","uRL":"http:\/\/h\/a.exe","fileName":"a.exe","optArgs":"-x","sha256":"s"}]},"defaultItemIndex":2})",
       kOneOption},
      {"tab-indented over CR LF, LF and CR lines",
       "{\r\n\t\"downloadLinks\": {\n\t\t\"listHelper\": [\r\t\t\t{\r\n\t\t\t\t\"itemName\": \"a\",\n"
       "\t\t\t\t\"uRL\": \"http://h/a.exe\",\n\t\t\t\t\"fileName\": \"a.exe\",\n\t\t\t\t\"optArgs\": "
       "\"-x\",\n"
       "\t\t\t\t\"sha256\": \"s\"\n\t\t\t}\n\t\t]\n\t},\n\t\"defaultItemIndex\": 2\n}\n",
       kOneOption},
      {"blank-indented",
       "{\n  \"downloadLinks\" : {\n    \"listHelper\" : [ {\n      \"itemName\" : \"a\", \"uRL\" : "
       "\"http://h/a.exe\",\n      \"fileName\" : \"a.exe\", \"optArgs\" : \"-x\", \"sha256\" : \"s\" } ]\n  "
       "},\n"
       "  \"defaultItemIndex\" : 2\n}",
       kOneOption},
      {"key spellings and comments at every level",
       R"({"comment":"c","DOWNLOADLINKS":{"comment":{"x":[1]},"ListHelper":[{"ITEMNAME":"a","url":"http://h/a.exe","FileName":"a.exe","OPTARGS":"-x","Sha256":"s","comment":"c"}]},"DefaultItemIndex":"2"})",
       kOneOption},
      {"keys that only look like fields",
       R"({"downloadLinks":{"listHelper":[{"fItemName":"a","item_name":"b","uRL ":"c"}]}})",
       "[||||] default=0"},
      {"raw TAB lost, escaped TAB kept",
       "{\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"a\tb\",\"optArgs\":\"a\\tb\"}]}}",
       "[ab|||a\tb|] default=0"},
      {"escapes and plain slash",
       R"({"downloadLinks":{"listHelper":[{"itemName":"gr\u00FCn \u00fc","uRL":"http:\/\/h/x","sha256":"\ud83d\ude00 \"q\""}]}})",
       "[gr\xC3\xBCn \xC3\xBC|http://h/x|||\xF0\x9F\x98\x80 \"q\"] default=0"},
      {"numbers, booleans and null in text fields",
       R"({"downloadLinks":{"listHelper":[{"itemName":12.50,"uRL":-0,"fileName":1E+3,"optArgs":true,"sha256":"x","sha256":null}]}})",
       "[12.50|-0|1E+3|true|] default=0"},
      {"objects and arrays in text fields are skipped",
       R"({"downloadLinks":{"listHelper":[{"itemName":"a","itemName":{"x":1},"uRL":[1,2]}]}})",
       "[a||||] default=0"},
      {"listHelper [count] followed by items",
       R"({"downloadLinks":{"listHelper":[4],"Items":[{"itemName":"a"},{"itemName":"b"},{"itemName":"c"},{"itemName":"d"}]},"defaultItemIndex":3})",
       "[a||||;b||||;c||||;d||||] default=3"},
      {"items not directly after listHelper is skipped",
       R"({"downloadLinks":{"items":[{"itemName":"x"}],"listHelper":[{"itemName":"a"}],"comment":0,"items":[]}})",
       "[a||||] default=0"},
      {"last listHelper wins",
       R"({"downloadLinks":{"listHelper":[{"itemName":"a"}],"listHelper":[{"itemName":"b"}]}})",
       "[b||||] default=0"},
      {"empty listHelper keeps the default index",
       R"({"downloadLinks":{"listHelper":[]},"defaultItemIndex":3})", "[] default=3"},
      {"option-list object without listHelper", R"({"downloadLinks":{}})", "[] default=0"},
      {"default index forms",
       R"({"defaultItemIndex":7,"defaultItemIndex":{"x":1},"downloadLinks":{"listHelper":[]}})",
       "[] default=7"},
      {"negative default index as text", R"({"defaultItemIndex":"-1"})", "nolist default=-1"},
      {"default index with a plus sign", R"({"defaultItemIndex":"+2"})", "nolist default=2"},
      {"null default index", R"({"defaultItemIndex":5,"defaultItemIndex":null})", "nolist default=0"},
      {"no downloadLinks", R"({"defaultItemIndex":1})", "nolist default=1"},
      {"empty object", "{}", "nolist default=0"},
      {"downloadLinks null", R"({"downloadLinks":null,"defaultItemIndex":1})", "nolist default=1"},
      {"element that is no object",
       R"({"downloadLinks":{"listHelper":[{"itemName":"a"},4]},"defaultItemIndex":2})", "nolist default=2"},
      {"listHelper count without items", R"({"downloadLinks":{"listHelper":[4]}})", "nolist default=0"},
      {"listHelper that is no array", R"({"downloadLinks":{"listHelper":{"itemName":"a"}}})",
       "nolist default=0"},
      {"UTF-8 BOM", "\xEF\xBB\xBF{\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"\xC3\xBC\"}]}}",
       "[\xC3\xBC||||] default=0"},
      {"UTF-16 LE BOM",
       Utf16(u"{\r\n\t\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"\u00FC\U0001F600\"}]},"
             u"\"defaultItemIndex\":1}\r\n",
             false),
       "[\xC3\xBC\xF0\x9F\x98\x80||||] default=1"},
      {"UTF-16 BE BOM",
       Utf16(u"{\"downloadLinks\":{\"listHelper\":[{\"itemName\":\"\u00FC\U0001F600\"}]},"
             u"\"defaultItemIndex\":1}",
             true),
       "[\xC3\xBC\xF0\x9F\x98\x80||||] default=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Outcome(c.input), c.outcome) << c.name;
}

TEST(ReadConfigFromBytes, RejectsWhatIsNoConfiguration) {
  const struct {
    std::string input;
    std::string outcome;
  } cases[] = {
      {"", "none"},
      {" \r\n\t \x01\x1F ", "none"},
      {"null", "none"},
      {"\xEF\xBB\xBF null \r\n", "none"},
      {Utf16(u"", false), "none"},
      {"[]", kNotAnObject},
      {"[{\"downloadLinks\":{}}]", kNotAnObject},
      {"42", kNotAnObject},
      {"\"text\"", kNotAnObject},
      {"true", kNotAnObject},
      {"{\"downloadLinks\":", kNotAnObject},
      {"{\"downloadLinks\":{}} x", kNotAnObject},
      {"{'downloadLinks':{}}", kNotAnObject},
      {"{\"a\":1,}", kNotAnObject},
      {"{\"a\":\"\x01\"}", kNotAnObject},
      {R"({"downloadLinks":"list"})", kNotAnObject},
      {R"({"downloadLinks":5})", kNotAnObject},
      {R"({"downloadLinks":true})", kNotAnObject},
      {R"({"downloadLinks":[]})", kNotAnObject},
      {R"({"defaultItemIndex":"abc"})", "error: 'abc' ist keine gültige Ganzzahl"},
      {R"({"defaultItemIndex":2.0})", "error: '2.0' ist keine gültige Ganzzahl"},
      {R"({"defaultItemIndex":" 2"})", "error: ' 2' ist keine gültige Ganzzahl"},
      {R"({"defaultItemIndex":3000000000})", "error: '3000000000' ist keine gültige Ganzzahl"},
      {R"({"defaultItemIndex":true})", "error: 'true' ist keine gültige Ganzzahl"},
      {R"({"defaultItemIndex":"+-1"})", "error: '+-1' ist keine gültige Ganzzahl"},
      {R"({"downloadLinks":{"listHelper":[]},"defaultItemIndex":""})",
       "error: '' ist keine gültige Ganzzahl"},
  };
  for (const auto& c : cases) EXPECT_EQ(Outcome(c.input), c.outcome) << c.input;
}

TEST(ReadConfigFromBytes, DeepNestingNeitherCrashesNorHangs) {
  const std::size_t depth = 200000;
  const std::string deep = std::string(depth, '[') + std::string(depth, ']');
  EXPECT_EQ(Outcome(R"({"comment":)" + deep + R"(,"downloadLinks":{"listHelper":[{"itemName":)" + deep +
                    R"(,"uRL":"u"}]},"defaultItemIndex":1})"),
            "[|u|||] default=1");
  EXPECT_EQ(Outcome(std::string(depth, '{')), kNotAnObject);
  EXPECT_EQ(Outcome(deep), kNotAnObject);
}

TEST(ReadConfigFile, MissingFileGivesAnEmptyConfiguration) {
  const TempDir dir;
  std::filesystem::create_directory(dir / "folder.json");  // a folder is no file
  for (const char* name : {"absent.json", "folder.json"}) {
    const auto config = ReadConfigFile((dir / name).string());
    ASSERT_TRUE(config.has_value()) << name;
    EXPECT_TRUE(config->HasOptionList());
    EXPECT_EQ(config->NumberOfLinks(), 0);
    EXPECT_EQ(config->DefaultItemIndex(), 0);
  }
}

}  // namespace
}  // namespace orvane

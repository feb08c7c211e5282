#include "app/ConfigFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "app/JSONHelper.h"
#include "system/Utf8.h"

namespace orvane {

namespace {

// Field names in declared order. A member names a field when "F" followed by
// its key equals the field name ignoring letter case; the writer derives the
// keys from the same names.
constexpr std::array<const char*, 5> kItemFields = {"fItemName", "fURL", "fFileName", "fOptArgs", "fsha256"};
enum ItemField { kItemName, kURL, kFileName, kOptArgs, kSha256 };
constexpr const char* kDownloadLinksField = "fDownloadLinks";
constexpr const char* kDefaultItemIndexField = "fDefaultItemIndex";

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool KeyNamesField(std::string_view key, std::string_view field) {
  return !field.empty() && key.size() + 1 == field.size() && AsciiLower(field[0]) == 'f' &&
         SameTextAscii(key, field.substr(1));
}

// The field name without its leading "F"/"f", first character lower-cased.
std::string KeyOfField(std::string_view field) {
  std::string key(field.substr(1));
  if (!key.empty()) key[0] = AsciiLower(key[0]);
  return key;
}

// ---------------------------------------------------------------------------
// Document tree

// The parsed document, only as deep as the configuration looks: the root
// object, the option-list object, the options array and the option objects.
// Containers below that are kept as their kind alone, so hostile nesting
// costs no memory beyond the parser's own bit per level.
constexpr std::size_t kKeptDepth = 4;

struct JsonNode {
  enum class Kind { Null, Boolean, Number, String, Object, Array };
  Kind kind = Kind::Null;
  std::string text;               // string value, number as written, "true"/"false"
  std::vector<std::string> keys;  // object member keys, document order, duplicates kept
  std::vector<JsonNode> values;   // object member values (parallel to keys) or array elements
};

// Every number token's text in document order. nlohmann reports integers only
// by value, which would lose e.g. "-0"; the texts are taken from the input
// instead. Only used when the text parsed cleanly, so the n-th token here is
// the n-th number the parser reports.
std::vector<std::string> NumberTexts(std::string_view text) {
  const auto isNumberChar = [](char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
  };
  std::vector<std::string> numbers;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      std::size_t end = i;
      while (end < text.size() && isNumberChar(text[end])) ++end;
      numbers.emplace_back(text.substr(i, end - i));
      i = end - 1;
    }
  }
  return numbers;
}

// SAX receiver building the shallow tree. nlohmann's parser is iterative, so
// neither parsing nor this builder recurses with the input's nesting.
class TreeBuilder {
 public:
  using json = nlohmann::ordered_json;

  explicit TreeBuilder(std::vector<std::string> numberTexts) : numbers_(std::move(numberTexts)) {}

  JsonNode& root() { return root_; }

  bool null() { return AddValue(JsonNode{}); }
  bool boolean(bool value) { return AddValue(Scalar(JsonNode::Kind::Boolean, value ? "true" : "false")); }
  bool number_integer(json::number_integer_t /*value*/) { return AddNumber(); }
  bool number_unsigned(json::number_unsigned_t /*value*/) { return AddNumber(); }
  bool number_float(json::number_float_t /*value*/, const json::string_t& /*raw*/) { return AddNumber(); }
  bool string(json::string_t& value) { return AddValue(Scalar(JsonNode::Kind::String, std::move(value))); }
  bool binary(json::binary_t& /*value*/) { return false; }  // never produced from JSON text

  bool start_object(std::size_t /*size*/) { return Open(JsonNode::Kind::Object); }
  bool end_object() { return Close(); }
  bool start_array(std::size_t /*size*/) { return Open(JsonNode::Kind::Array); }
  bool end_array() { return Close(); }

  bool key(json::string_t& name) {
    if (depth_ == open_.size()) pendingKey_ = std::move(name);
    return true;
  }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& /*error*/) {
    return false;
  }

 private:
  static JsonNode Scalar(JsonNode::Kind kind, std::string text) {
    JsonNode node;
    node.kind = kind;
    node.text = std::move(text);
    return node;
  }

  bool AddValue(JsonNode node) {
    Add(std::move(node));
    return true;
  }

  bool AddNumber() {
    std::string text = nextNumber_ < numbers_.size() ? std::move(numbers_[nextNumber_]) : std::string("0");
    ++nextNumber_;
    return AddValue(Scalar(JsonNode::Kind::Number, std::move(text)));
  }

  // Stores the value in the innermost kept container (or as the root);
  // nullptr when it lies inside a container that is not kept.
  JsonNode* Add(JsonNode node) {
    if (depth_ != open_.size()) return nullptr;
    if (open_.empty()) {
      root_ = std::move(node);
      return &root_;
    }
    JsonNode& parent = *open_.back();
    if (parent.kind == JsonNode::Kind::Object) parent.keys.push_back(std::move(pendingKey_));
    parent.values.push_back(std::move(node));
    return &parent.values.back();
  }

  bool Open(JsonNode::Kind kind) {
    JsonNode node;
    node.kind = kind;
    JsonNode* added = Add(std::move(node));
    ++depth_;
    // Only the innermost open container grows, so pointers to the open ones
    // stay valid.
    if (added != nullptr && depth_ <= kKeptDepth) open_.push_back(added);
    return true;
  }

  bool Close() {
    if (depth_ == open_.size()) open_.pop_back();
    --depth_;
    return true;
  }

  JsonNode root_;
  std::vector<JsonNode*> open_;
  std::size_t depth_ = 0;
  std::string pendingKey_;
  std::vector<std::string> numbers_;
  std::size_t nextNumber_ = 0;
};

// ---------------------------------------------------------------------------
// Building the configuration

bool IsScalarText(const JsonNode& node) {
  return node.kind == JsonNode::Kind::String || node.kind == JsonNode::Kind::Number ||
         node.kind == JsonNode::Kind::Boolean;
}

int ParseDecimalInt(const std::string& text) {
  // One optional sign, then digits. from_chars takes a minus but no plus, so
  // a plus is stripped here and must not be followed by a second sign.
  const bool plus = text.starts_with('+');
  const std::string_view digits = std::string_view(text).substr(plus ? 1 : 0);
  int value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || (plus && digits.front() == '-') || ec != std::errc() || ptr != end)
    throw EConvertError("'" + EscapeControlChars(text) + "' ist keine gültige Ganzzahl");
  return value;
}

// An option from its object; missing members leave their text empty.
TRemoteSupportItem BuildItem(const JsonNode& object) {
  std::array<std::string, kItemFields.size()> texts;
  for (std::size_t m = 0; m < object.keys.size(); ++m) {
    const JsonNode& value = object.values[m];
    for (std::size_t f = 0; f < kItemFields.size(); ++f) {
      if (!KeyNamesField(object.keys[m], kItemFields[f])) continue;
      if (value.kind == JsonNode::Kind::Null)
        texts[f].clear();
      else if (IsScalarText(value))
        texts[f] = value.text;
      // objects and arrays do not fit a text field and are skipped
    }
  }
  return TRemoteSupportItem(std::move(texts[kItemName]), std::move(texts[kFileName]), std::move(texts[kURL]),
                            std::move(texts[kSha256]), std::move(texts[kOptArgs]));
}

// The options of the "downloadLinks" object; nullopt when the object is not
// a usable option list (a "listHelper" that is not an array, an element that
// is not an object). The file format leaves those cases open; a list that
// cannot be built as a whole counts as absent.
std::optional<std::vector<TRemoteSupportItem>> BuildOptionList(const JsonNode& object) {
  std::vector<TRemoteSupportItem> items;
  for (std::size_t m = 0; m < object.keys.size(); ++m) {
    if (!SameTextAscii(object.keys[m], "listHelper")) continue;
    const JsonNode* source = &object.values[m];
    // A "listHelper" directly followed by "items" (an older shape of the
    // list) takes its options from "items".
    if (m + 1 < object.keys.size() && SameTextAscii(object.keys[m + 1], "items"))
      source = &object.values[++m];
    if (source->kind != JsonNode::Kind::Array) return std::nullopt;
    items.clear();
    for (const JsonNode& element : source->values) {
      if (element.kind != JsonNode::Kind::Object) return std::nullopt;
      items.push_back(BuildItem(element));
    }
  }
  return items;
}

TRemoteSupportConfig BuildConfig(const JsonNode& root) {
  std::optional<std::vector<TRemoteSupportItem>> links;
  int defaultItemIndex = 0;
  for (std::size_t m = 0; m < root.keys.size(); ++m) {
    const JsonNode& value = root.values[m];
    if (KeyNamesField(root.keys[m], kDownloadLinksField)) {
      if (value.kind == JsonNode::Kind::Object)
        links = BuildOptionList(value);
      else if (value.kind == JsonNode::Kind::Null)
        links.reset();
      else
        throw EConvertError(kNotAnObjectMessage);
    } else if (KeyNamesField(root.keys[m], kDefaultItemIndexField)) {
      if (value.kind == JsonNode::Kind::Null)
        defaultItemIndex = 0;
      else if (IsScalarText(value))
        defaultItemIndex = ParseDecimalInt(value.text);
    }
  }
  return TRemoteSupportConfig(std::move(links), defaultItemIndex);
}

// ---------------------------------------------------------------------------
// Text of the file

std::string DecodeFileText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return SanitizeUtf8(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return Utf16BytesToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16BytesToUtf8(bytes.substr(2), true);
  return DecodeAnsiText(bytes);
}

// Lines split at CR LF, CR and LF; a line break at the very end opens no
// further line.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool OnlyBlanksAndControls(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

}  // namespace

std::optional<TRemoteSupportConfig> ReadConfigFromBytes(std::string_view bytes) {
  const std::string text = LinesToJsonText(SplitLines(DecodeFileText(bytes)));
  if (OnlyBlanksAndControls(text)) return std::nullopt;

  TreeBuilder builder(NumberTexts(text));
  if (!nlohmann::ordered_json::sax_parse(text, &builder)) throw EConvertError(kNotAnObjectMessage);
  const JsonNode& root = builder.root();
  if (root.kind == JsonNode::Kind::Null) return std::nullopt;
  if (root.kind != JsonNode::Kind::Object) throw EConvertError(kNotAnObjectMessage);
  return BuildConfig(root);
}

std::optional<TRemoteSupportConfig> ReadConfigFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadConfigFileBytes(path);
  if (!bytes) return TRemoteSupportConfig();
  return ReadConfigFromBytes(*bytes);
}

std::string ConfigToJsonText(const TRemoteSupportConfig& config) {
  std::string text;
  const auto member = [&text](const char* field) {
    text += JsonQuote(KeyOfField(field));
    text += ':';
  };
  text += '{';
  member(kDownloadLinksField);
  if (config.HasOptionList()) {
    text += "{\"listHelper\":[";
    for (int i = 0; i < config.NumberOfLinks(); ++i) {
      const TRemoteSupportItem& item = config.GetElementByIndex(i);
      const std::string* values[] = {&item.ItemName(), &item.url(), &item.FielName(), &item.OptArgs(),
                                     &item.sha256()};  // declared field order
      text += i > 0 ? ",{" : "{";
      for (std::size_t f = 0; f < kItemFields.size(); ++f) {
        if (f > 0) text += ',';
        member(kItemFields[f]);
        text += JsonQuote(*values[f]);
      }
      text += '}';
    }
    text += "]}";
  } else {
    // Reads back as a configuration without an option list.
    text += "null";
  }
  text += ',';
  member(kDefaultItemIndexField);
  text += std::to_string(config.DefaultItemIndex());
  text += '}';
  return text;
}

void WriteConfigFile(const std::string& path, const TRemoteSupportConfig& config) {
  WriteConfigFileBytes(path, ConfigToJsonText(config) + "\r\n");
}

}  // namespace orvane

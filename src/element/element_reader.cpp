// The element import format read back: lines, blocks and values, by a reader that
// shares nothing with the writer.
#include "element_reader.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace {

/// One line of the format: a bare keyword, a number line or a text line.
struct Item {
    std::string_view keyword;
    enum class Kind { Bare, Number, Text } kind = Kind::Bare;
    long long number = 0;
    std::string_view text;
    std::size_t line = 0;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_keyword_char(char c) { return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// The items of a text in order, until the end or the first line that does not fit.
class ItemReader {
public:
    explicit ItemReader(std::string_view text) : text_(text) {}

    bool next(Item& item) {
        if (!fault_.empty() || at_ >= text_.size()) return false;
        item = Item{};
        item.line = line_;
        const std::size_t start = at_;
        while (at_ < text_.size() && is_keyword_char(text_[at_])) ++at_;
        item.keyword = text_.substr(start, at_ - start);
        if (item.keyword.empty()) return fail(item, "no keyword at the start of the line");
        if (line_end()) return true;
        if (at_ >= text_.size() || text_[at_] != ' ')
            return fail(item, "the keyword is followed by neither a blank nor the line end");
        const std::size_t digits = ++at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        while (at_ < text_.size() && is_digit(text_[at_])) ++at_;
        const std::string_view number = text_.substr(digits, at_ - digits);
        if (number.empty() || number == "-" || number.size() > 18)
            return fail(item, "the value is neither a number nor length-prefixed text");
        const long long value = std::stoll(std::string(number));
        if (at_ < text_.size() && text_[at_] == ':') {
            const std::size_t from = ++at_;
            const auto length = static_cast<std::size_t>(value);
            if (value < 0 || length > text_.size() - from || (at_ += length, !line_end()))
                return fail(item, "the length prefix " + std::string(number) + " does not fit the value");
            item.kind = Item::Kind::Text;
            item.text = text_.substr(from, length);
            line_ += static_cast<std::size_t>(std::count(item.text.begin(), item.text.end(), '\n'));
            return true;
        }
        if (!line_end()) return fail(item, "the number is followed by more than the line end");
        item.kind = Item::Kind::Number;
        item.number = value;
        return true;
    }

    const std::string& fault() const { return fault_; }

private:
    bool fail(const Item& item, const std::string& why) {
        fault_ = "line " + std::to_string(item.line) + ": " + std::string(item.keyword) +
                 (item.keyword.empty() ? "" : ": ") + why;
        return false;
    }
    bool line_end() {
        const std::size_t left = text_.size() - at_;
        const std::size_t size = left >= 1 && text_[at_] == '\n'                           ? 1
                                 : left >= 2 && text_[at_] == '\r' && text_[at_ + 1] == '\n' ? 2
                                                                                          : 0;
        at_ += size;
        line_ += size ? 1 : 0;
        return size != 0;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::string fault_;
};

/// Which block may stand in which ("" the top of the file).
constexpr std::pair<std::string_view, std::string_view> kNesting[] = {
    {"", "GLOBALS"}, {"", "TYPES"}, {"", "DIR"}, {"", "ELEMENT"},
    {"TYPES", "LBTYPE"}, {"TYPES", "BRTYPE"}, {"ELEMENT", "VERSION"},
};

/// The lines each block holds, whether each is a text line (else a number line), and
/// what the reader keeps of it.
enum class Keep { Nothing, NumElements, NumVersions, ExporterKind, LbType, BrType, Name, VersionId, OnBranch,
                  SubBranch, Label };
struct Field {
    std::string_view block, keyword;
    bool text;
    Keep keep = Keep::Nothing;
};
constexpr Field kFields[] = {
    {"VERSION", "EventUser", true},   {"VERSION", "EventGroup", true}, {"VERSION", "EventName", true},
    {"VERSION", "EventHost", true},   {"VERSION", "EventTime", false}, {"VERSION", "ExtractCmd", true},
    {"VERSION", "Label", true, Keep::Label},      {"VERSION", "VersionId", true, Keep::VersionId},
    {"VERSION", "OnBranch", true, Keep::OnBranch}, {"VERSION", "SubBranch", true, Keep::SubBranch},
    {"ELEMENT", "Name", true, Keep::Name},         {"ELEMENT", "Mode", false},
    {"ELEMENT", "EventUser", true},   {"ELEMENT", "EventGroup", true}, {"ELEMENT", "EventName", true},
    {"ELEMENT", "EventHost", true},   {"ELEMENT", "EventTime", false}, {"LBTYPE", "LbType", true, Keep::LbType},
    {"BRTYPE", "BrType", true, Keep::BrType},      {"DIR", "DirName", true},
    {"", "EXPORT_FORMAT", false},     {"GLOBALS", "ExportFromDir", true},
    {"GLOBALS", "NumElements", false, Keep::NumElements}, {"GLOBALS", "NumVersions", false, Keep::NumVersions},
    {"GLOBALS", "ExporterKind", false, Keep::ExporterKind}, {"GLOBALS", "NeedCmd", true},
};

}  // namespace

namespace {

/// Reads the blocks of `text` into `out`; the fault that stopped it, or empty.
std::string read_blocks(std::string_view text, ReadImport& out, std::vector<std::string_view>& open) {
    ItemReader reader(text);
    Item item;
    auto fault = [&](const std::string& why) { return "line " + std::to_string(item.line) + ": " + why; };
    while (reader.next(item)) {
        const std::string_view block = open.empty() ? "" : open.back();
        const std::string_view k = item.keyword;
        if (item.kind == Item::Kind::Bare && k.ends_with("_BEGIN")) {
            const std::string_view name = k.substr(0, k.size() - 6);
            if (std::find(std::begin(kNesting), std::end(kNesting), std::pair(block, name)) == std::end(kNesting))
                return fault(std::string(k) + " cannot stand " +
                             (block.empty() ? "outside a block" : "in a " + std::string(block) + " block"));
            open.push_back(name);
            if (name == "ELEMENT") out.elements.emplace_back();
            if (name == "VERSION") out.elements.back().versions.emplace_back();
            continue;
        }
        if (item.kind == Item::Kind::Bare && k.ends_with("_END")) {
            if (open.empty() || k.substr(0, k.size() - 4) != block)
                return fault(std::string(k) + " ends no open block");
            if (block == "VERSION" && out.elements.back().versions.back().id.empty())
                return fault("a version without its VersionId");
            if (block == "ELEMENT" && out.elements.back().name.empty()) return fault("an element without its Name");
            if (block == "VERSION") ++out.versionCount;
            open.pop_back();
            continue;
        }
        const Field* field = nullptr;
        for (const Field& f : kFields)
            if (f.keyword.size() == k.size() && f.keyword[0] == k[0] && f.keyword == k && f.block == block) {
                field = &f;
                break;
            }
        if (!field)
            return fault(std::string(k) + " does not belong " +
                         (block.empty() ? "outside a block" : "in a " + std::string(block) + " block"));
        if (field->text != (item.kind == Item::Kind::Text))
            return fault(std::string(k) + (field->text ? " needs a length-prefixed value" : " needs a number"));
        ReadVersion* version = field->block == "VERSION" ? &out.elements.back().versions.back() : nullptr;
        switch (field->keep) {
            case Keep::Nothing: break;
            case Keep::NumElements: out.numElements = item.number; break;
            case Keep::NumVersions: out.numVersions = item.number; break;
            case Keep::ExporterKind: out.exporterKind = item.number; break;
            case Keep::LbType: out.types.labels.emplace(item.text); break;
            case Keep::BrType: out.types.branches.emplace(item.text); break;
            case Keep::Name: out.elements.back().name = item.text; break;
            case Keep::VersionId:
                if (!version->id.empty()) return fault("a second VersionId in one version");
                version->id = item.text;
                break;
            case Keep::OnBranch:
                if (version->onBranch) return fault("a second OnBranch in one version");
                version->onBranch = true, version->branch = item.text;
                break;
            case Keep::SubBranch: version->subBranches.push_back(item.text); break;
            case Keep::Label: version->labels.push_back(item.text); break;
        }
    }
    if (!reader.fault().empty()) return reader.fault();
    return open.empty() ? "" : "the text ends inside a " + std::string(open.back()) + " block";
}

}  // namespace

ReadImport read_import_text(std::string_view text) {
    ReadImport out;
    std::vector<std::string_view> open;  // the blocks around the line, outermost first
    out.fault = read_blocks(text, out, open);
    // An element the fault cut short is not one of the file's.
    if (!out.fault.empty() && std::find(open.begin(), open.end(), "ELEMENT") != open.end()) out.elements.pop_back();
    return out;
}


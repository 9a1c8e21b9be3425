// Defaults files: resource values for the programs of the suite, one
// "key value" pair a line, with conditional sections chosen by tags. A key
// addresses resources through their qualified name ("sondex.message",
// "*.file_path", "*_path"); the same qualified names, led by "vok", are the
// environment variables looked at after the files.
#include "vok.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

FILE* def_file = nullptr;
std::string def_file_name;
std::string env_found;   // the variable DEF_env took its last value from

char prog_name[DEF_NAME_LEN] = "Vok";
char prog_title[DEF_NAME_LEN] = "";

// Tags are copies: a tag must not change when the line it came from is
// overwritten by the next one read.
std::array<std::string, DEF_MAX_TAGS> tags;
int num_tag = 0;

// State of one open conditional section.
enum class Section {
    waiting,   // no branch taken yet
    taken,     // the current branch is taken
    done,      // an earlier branch was taken
};
std::array<Section, DEF_MAX_SECTIONS> match{};
int num_match = 0;
// Sections opened beyond DEF_MAX_SECTIONS: counted so that each END still
// closes its own IF; nothing inside them is taken.
int deep_match = 0;
bool matches = true;

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Copy text into a fixed field; false (field untouched) when it does not fit.
bool copy_field(char* field, int size, std::string_view text)
{
    if (text.size() >= static_cast<std::size_t>(size)) return false;
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
    return true;
}

// The qualified name of a resource into out (DEF_QUAL_LEN); false when it
// would be longer than DEF_QUAL_LEN - 1 characters.
bool qualified_name(const char* res, char* out)
{
    int n;
    if (prog_title[0] == '+') {
        n = std::snprintf(out, DEF_QUAL_LEN, "%s.%s.%s", prog_name, prog_title + 1, res);
    } else {
        n = std::snprintf(out, DEF_QUAL_LEN, "%s.%s", prog_title[0] ? prog_title : prog_name, res);
    }
    return n >= 0 && n < DEF_QUAL_LEN;
}

// Key against a name, '*' jumping to the first place where the literal text
// after it occurs. Leftmost, without backtracking: a '*' at the very end of a
// key matches nothing.
bool wild_match(const char* key, const char* name)
{
    const char* k = key;
    std::string_view rest(name);
    while (*k && !rest.empty()) {
        if (*k == '*') {
            ++k;
            const std::string_view literal(k, std::strcspn(k, "*"));
            const std::size_t at = rest.find(literal);
            if (at == std::string_view::npos) return false;
            rest.remove_prefix(at);
            continue;
        }
        if (*k != rest.front()) return false;
        ++k;
        rest.remove_prefix(1);
    }
    return *k == '\0' && rest.empty();
}

int find_tag(std::string_view tag)
{
    const std::string wanted(tag);
    for (int i = 0; i < num_tag; ++i) {
        if (stricmp(tags[i].c_str(), wanted.c_str()) == 0) return i;
    }
    return -1;
}

bool tag_defined(std::string_view tag)
{
    return find_tag(tag) >= 0;
}

void undefine_tag(std::string_view tag)
{
    const int i = find_tag(tag);
    if (i < 0) return;
    for (int j = i + 1; j < num_tag; ++j) tags[j - 1] = std::move(tags[j]);
    tags[--num_tag].clear();
}

void update_matches()
{
    matches = deep_match == 0;
    for (int i = 0; i < num_match && matches; ++i) matches = match[i] == Section::taken;
}

// One line of the file into line (DEF_LINE_LEN bytes). 1 for a line that
// fits, 0 for a longer one (dropped whole rather than read in pieces that
// would pass for lines of their own), -1 at the end. A NUL byte ends the text
// of its line.
int read_line(char* line)
{
    int c = std::getc(def_file);
    if (c == EOF) return -1;
    int n = 0;
    bool fits = true;
    bool ended = false;
    for (; c != EOF && c != '\n'; c = std::getc(def_file)) {
        if (c == '\0') ended = true;
        if (ended) continue;
        if (n < DEF_LINE_LEN - 1) {
            line[n++] = static_cast<char>(c);
        } else {
            fits = false;
        }
    }
    line[n] = '\0';
    return fits ? 1 : 0;
}

std::string_view next_word(std::string_view& rest)
{
    std::size_t start = 0;
    while (start < rest.size() && is_blank(rest[start])) ++start;
    std::size_t end = start;
    while (end < rest.size() && !is_blank(rest[end])) ++end;
    std::string_view word = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return word;
}

// The keyword lines. True when the first word was a keyword.
bool keyword_line(std::string_view word, std::string_view tag)
{
    if (word == "DEF") {
        if (!tag.empty()) DEF_tag(std::string(tag).c_str());
    } else if (word == "UNDEF") {
        if (!tag.empty()) undefine_tag(tag);
    } else if (word == "IF") {
        if (tag.empty()) return true;
        if (num_match < DEF_MAX_SECTIONS && deep_match == 0) {
            match[num_match++] = tag_defined(tag) ? Section::taken : Section::waiting;
        } else {
            ++deep_match;
            MESS_print(M_WARN, "DEF_get: more than %d nested sections, section skipped\n",
                       DEF_MAX_SECTIONS);
        }
    } else if (word == "ELIF" || word == "ELSE") {
        const bool elif = word == "ELIF";
        if (elif && tag.empty()) return true;
        if (num_match == 0) {
            MESS_print(M_WARN, elif ? "DEF_get: elif without an if\n" : "DEF_get: else without an if\n");
        } else if (deep_match == 0) {
            Section& top = match[num_match - 1];
            if (top != Section::waiting) {
                top = Section::done;
            } else if (!elif || tag_defined(tag)) {
                top = Section::taken;
            }
        }
    } else if (word == "END") {
        if (deep_match > 0) {
            --deep_match;
        } else if (num_match > 0) {
            --num_match;
        } else {
            MESS_print(M_WARN, "DEF_get: end without an if\n");
        }
    } else {
        return false;
    }
    update_matches();
    return true;
}

// A "key value" line into the caller's buffers. False when the pair is not
// taken.
bool pair_line(std::string_view key_word, std::string_view rest, char* key, char* value)
{
    std::string_view val = next_word(rest);
    if (val.empty() || !matches) return false;
    if (val.front() == '"') {
        // Quoted: everything up to the next quote, blanks included.
        std::string_view all(val.data() + 1, rest.data() + rest.size() - (val.data() + 1));
        const std::size_t close = all.find('"');
        if (close != std::string_view::npos) {
            all = all.substr(0, close);
        } else {
            while (!all.empty() && is_blank(all.back())) all.remove_suffix(1);
        }
        val = all;
    }
    if (key_word.back() == ':') key_word.remove_suffix(1);
    if (key_word.empty()) return false;
    if (!copy_field(key, DEF_KEY_LEN, key_word)) {
        MESS_print(M_WARN, "DEF_get: key longer than %d characters skipped: %.*s...\n",
                   DEF_KEY_LEN - 1, DEF_KEY_LEN - 1, key_word.data());
        return false;
    }
    if (!copy_field(value, DEF_VALUE_LEN, val)) {
        MESS_print(M_WARN, "DEF_get: value of %s longer than %d characters skipped\n", key,
                   DEF_VALUE_LEN - 1);
        return false;
    }
    low_string(key);
    return true;
}

} // namespace

int DEF_prog()
{
    char name[VOK_NAME_LEN];
    RES_get_progname(name, sizeof name);
    if (name[0] == '\0') return 0;   // no command line: "Vok" stays
    if (!copy_field(prog_name, DEF_NAME_LEN, name)) {
        MESS_print(M_WARN, "DEF_prog: program name longer than %d characters not used: %s\n",
                   DEF_NAME_LEN - 1, name);
    }
    return 0;
}

int DEF_name(const char* title)
{
    if (!title) title = "";
    if (!copy_field(prog_title, DEF_NAME_LEN, title)) {
        MESS_print(M_WARN, "DEF_name: program title longer than %d characters not used: %.*s...\n",
                   DEF_NAME_LEN - 1, DEF_NAME_LEN - 1, title);
    }
    return 0;
}

int DEF_clr_tag()
{
    for (auto& t : tags) t.clear();
    num_tag = 0;
    return 0;
}

int DEF_tag(const char* tag)
{
    if (!tag || !*tag) return 0;
    if (tag_defined(tag)) return 0;
    if (num_tag >= DEF_MAX_TAGS) {
        MESS_print(M_WARN, "DEF_tag: more than %d tags, %.60s ignored\n", DEF_MAX_TAGS, tag);
        return -1;
    }
    tags[num_tag++] = tag;
    return 0;
}

int DEF_open(const char* name)
{
    std::string path = (name && *name) ? name : ".vokdef";
    if (FILE_is_dir(path.c_str())) {
        if (path.back() != '/') path += '/';
        std::string found = path + "Vok.res";
        for (const char* file : {"vok.cfg", ".vokdef", "Vok.res"}) {
            if (FILE_exist((path + file).c_str())) {
                found = path + file;
                break;
            }
        }
        path = found;
    }
    DEF_close();
    if (path.size() >= static_cast<std::size_t>(DEF_PATH_LEN)) {
        MESS_print(M_WARN, "DEF_open: defaults file name longer than %d characters skipped: %.60s...\n",
                   DEF_PATH_LEN - 1, path.c_str());
        return -1;
    }
    def_file = FILE_open(path.c_str(), "r");
    if (!def_file) return -1;
    def_file_name = path;
    return 0;
}

const char* DEF_file_name()
{
    return def_file_name.c_str();
}

const char* DEF_env_name()
{
    return env_found.c_str();
}

int DEF_close()
{
    if (def_file) FILE_close(def_file, def_file_name.c_str());
    def_file = nullptr;
    def_file_name.clear();
    return 0;
}

int DEF_get(char* key, char* value)
{
    if (!def_file || !key || !value) return -1;
    char line[DEF_LINE_LEN];
    for (;;) {
        const int got = read_line(line);
        if (got < 0) return -1;
        if (got == 0) {
            MESS_print(M_WARN, "DEF_get: line longer than %d characters skipped: %.40s...\n",
                       DEF_LINE_LEN - 1, line);
            continue;
        }
        std::string_view rest(line);
        const std::string_view word = next_word(rest);
        if (word.empty() || word.front() == '#') continue;
        std::string_view after = rest;
        const std::string_view second = next_word(after);
        if (keyword_line(word, second)) continue;
        if (pair_line(word, rest, key, value)) return 1;
    }
}

int DEF_cmp(const char* res, const char* key)
{
    if (!res || !key) return 0;
    char name[DEF_QUAL_LEN];
    if (!qualified_name(res, name)) return 0;
    return wild_match(key, name) ? 1 : 0;
}

const char* DEF_parse_name(const char* key)
{
    if (!key) return "";
    const char* last = nullptr;
    for (const char* p = key; *p; ++p) {
        if (*p == '.' || *p == '*') last = p;
    }
    return last ? last + 1 : key;
}

int DEF_valid(const char* key)
{
    if (!key || !*key) return 0;
    const char* res = DEF_parse_name(key);
    if (res == key) res = key + 1;
    return DEF_cmp(res, key);
}

int DEF_env(const char* res, const char* env, char* value)
{
    if (!res || !value) return 0;
    char qual[DEF_QUAL_LEN];
    char names[3][DEF_ENV_QUAL_LEN];
    int count = 0;
    if (qualified_name(res, qual)) {
        const int n = std::snprintf(names[count], DEF_ENV_QUAL_LEN, "vok%s", qual);
        if (n > 0 && n < DEF_ENV_QUAL_LEN) ++count;
    }
    if (env && *env && std::strlen(env) < static_cast<std::size_t>(DEF_ENV_LEN)) {
        std::snprintf(names[count++], DEF_ENV_QUAL_LEN, "%s", env);
    }
    const int n = std::snprintf(names[count], DEF_ENV_LEN, "vok%s", res);
    if (n > 0 && n < DEF_ENV_LEN) ++count;

    for (int i = 0; i < count; ++i) {
        const char* text = std::getenv(names[i]);
        if (!text) continue;
        env_found = names[i];
        if (copy_field(value, DEF_VALUE_LEN, text)) return 1;
        MESS_print(M_WARN, "DEF_env: value of %s longer than %d characters not used\n", names[i],
                   DEF_VALUE_LEN - 1);
        return 0;
    }
    return 0;
}

void DEF_reset()
{
    DEF_close();
    std::snprintf(prog_name, sizeof prog_name, "%s", "Vok");
    prog_title[0] = '\0';
    DEF_clr_tag();
    num_match = 0;
    deep_match = 0;
    matches = true;
}

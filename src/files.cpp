#include "vok.h"

// ---------------------------------------------------------------- paths and file checks
// Every file the suite opens passes through here: names are completed with a
// directory, "~" is expanded to a home directory, a few names stand for the
// standard streams, missing directories are made before a file is written,
// and the user is asked before an existing output file is overwritten.
// Expanded names are held in std::string; only the interfaces that fill a
// caller's buffer are bound to its VOK_NAME_LEN characters, and a name that
// does not fit there is refused, never cut into a different name.

#include <cerrno>
#include <cstring>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// Home-directory expansion without a length limit; an unknown user leaves
// the name as it is.
std::string expand_user_path(const char* name)
{
    if (!name) return {};
    if (name[0] != '~') return name;
    const char* slash = std::strchr(name, '/');
    std::string user = slash ? std::string(name + 1, slash) : std::string(name + 1);
    const passwd* pw = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
    if (!pw || !pw->pw_dir) return name;
    std::string out = pw->pw_dir;
    if (slash) out += slash;
    return out;
}

bool copy_fits(const std::string& text, char* out)
{
    if (text.size() >= static_cast<std::size_t>(VOK_NAME_LEN)) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// Create every missing directory of path but its last `leave` parts.
int make_dirs(std::string& path, int leave)
{
    if (leave < 0) leave = 0;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    std::size_t last = path.rfind('/');
    if (last != std::string::npos && last > 0) {
        std::string parent = path.substr(0, last);
        if (FILE_exist(parent.c_str())) return 1;
    }
    // Parts as the suite's splitter gives them: empty parts from a leading or
    // doubled "/", none from trailing ones.
    int count = 0;
    char** parts = nullptr;
    if (parse_string(path.c_str(), '/', &count, &parts) != 0) return 0;
    std::string built;
    for (int i = 0; i < count - leave; ++i) {
        if (parts[i][0] == '\0') {
            if (built.empty() || built.back() != '/') built += '/';
            continue;
        }
        built += parts[i];
        built += '/';
        std::string dir = expand_user_path(built.c_str());
        mkdir(dir.c_str(), 0755);
    }
    free_parsed_array(count, parts);
    return 0;
}

bool answer_is(const char* answer, char c)
{
    return answer[0] == c || answer[0] == c - 'A' + 'a';
}

} // namespace

int FILE_is_stdio(const char* name)
{
    if (!name) return 0;
    return (name[0] == '\0' || std::strcmp(name, "-") == 0 || stricmp(name, "std") == 0 ||
            stricmp(name, "stdn") == 0)
               ? 1
               : 0;
}

int FILE_fullpath(const char* name)
{
    if (!name) return 0;
    return (name[0] == '/' || name[0] == '.' || name[0] == '~') ? 1 : 0;
}

int FILE_add_path_delim(char* dir)
{
    if (!dir) return 0;
    std::size_t len = std::strlen(dir);
    if (len == 0 || dir[len - 1] == '/') return 0;
    if (len + 1 >= static_cast<std::size_t>(VOK_NAME_LEN)) return -1;
    dir[len] = '/';
    dir[len + 1] = '\0';
    return 0;
}

char* FILE_add_path(const char* dir, const char* name, char* out)
{
    if (!out) return nullptr;
    if (!name) name = "";
    std::string full;
    if (FILE_is_stdio(name) || FILE_fullpath(name) || !dir) {
        full = name;
    } else {
        full = dir;
        if (!full.empty() && full.back() != '/') full += '/';
        full += name;
    }
    return copy_fits(full, out) ? out : nullptr;
}

int FILE_add_user_path(const char* name, char* out)
{
    if (!out) return -1;
    return copy_fits(expand_user_path(name), out) ? 0 : -1;
}

int FILE_exist(const char* name)
{
    if (!name) return 0;
    if (FILE_is_stdio(name)) return 1;
    struct stat st {};
    return stat(expand_user_path(name).c_str(), &st) == 0 ? 1 : 0;
}

int FILE_is_dir(const char* name)
{
    if (!name) return 0;
    struct stat st {};
    if (stat(expand_user_path(name).c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 1 : 0;
}

long FILE_size(const char* name)
{
    if (!name) return -1;
    struct stat st {};
    if (stat(expand_user_path(name).c_str(), &st) != 0) return -1;
    return static_cast<long>(st.st_size);
}

int FILE_make_dir(char* path, int leave)
{
    if (!path) return 0;
    for (char* p = path; *p; ++p) {
        if (*p == '\\') *p = '/';
    }
    std::string text(path);
    return make_dirs(text, leave);
}

FILE* FILE_open(const char* name, const char* mode)
{
    if (!name || !mode) return nullptr;
    if (FILE_is_stdio(name)) return mode[0] == 'r' ? stdin : stdout;
    if (name[0] == '|') {
        std::fflush(nullptr);
        return popen(name + 1, mode);
    }
    std::string full = expand_user_path(name);
    if (mode[0] == 'w' || mode[0] == 'a') make_dirs(full, 1);
    return std::fopen(full.c_str(), mode);
}

int FILE_close(FILE* fp, const char* name)
{
    if (!fp) return -1;
    if (fp == stdin || fp == stdout || fp == stderr) {
        std::fflush(fp);
        return 0;
    }
    if (name && name[0] == '|') return pclose(fp);
    return std::fclose(fp);
}

int FILE_overwrite(const char* name, int mode)
{
    if (!name || FILE_is_stdio(name) || !FILE_exist(name)) return 1;
    int decided = FLAG_get(FLAG_FILE_PARAM);
    if (decided > 0) return decided;
    if (FLAG_batch()) return 3;
    if (mode != 1 && mode != 2) return 0;

    // The name is shown as it stands: it is data, never part of a format.
    std::string question = name;
    question += mode == 2 ? ": exists overwrite (Y,N,Use,Over,App): "
                          : ": exists overwrite (Y,N,Use,Over): ";
    char answer[10] = "";
    VOK_prompts(question.c_str(), answer, 9);
    if (answer_is(answer, 'Y') || answer_is(answer, 'O')) return 1;
    if (mode == 2 && answer_is(answer, 'A')) return 2;
    return 3;
}

// ---------------------------------------------------------------- set time
// The date and time fields the user fixed (the "hour" resource, or a "#"
// date in a given file name). Seconds are never given, so they start at 0.

namespace {

constexpr Date set_start = {VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING,
                            VOK_MISSING, VOK_MISSING, VOK_MISSING, 0};
Date set = set_start;

} // namespace

int FILE_set_time(const Date* date)
{
    if (!date) return -1;
    set = *date;
    return 0;
}

int FILE_get_time(Date* date)
{
    if (!date) return -1;
    *date = set;
    return 0;
}

int FILE_reset_time()
{
    set.year = VOK_MISSING;
    set.month = VOK_MISSING;
    set.day = VOK_MISSING;
    set.hour = VOK_MISSING;
    set.min = VOK_MISSING;
    return 0;
}

void FILE_clear_time()
{
    set = set_start;
}

// Decodes arbitrary domain texts, with a region file, a station file and a
// region menu on hand, and checks what comes back: a known result, a record
// that is unset unless a domain was decoded, no NaN, and a decoded map domain
// whose centre lies in its own grid.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "vok.h"

namespace {

std::string fuzz_dir;

void remove_fuzz_dir()
{
    std::error_code ec;
    std::filesystem::remove_all(fuzz_dir, ec);
}

void write(const std::string& path, const char* text)
{
    FILE* fp = std::fopen(path.c_str(), "w");
    if (!fp) std::abort();
    std::fputs(text, fp);
    std::fclose(fp);
}

bool unset(const Domain& d)
{
    return d.proj == VOK_MISSING && d.nx == VOK_MISSING && d.ny == VOK_MISSING && d.clat == VOK_MISSING &&
           d.clon == VOK_MISSING && d.dx == VOK_MISSING && d.dy == VOK_MISSING && d.plat == VOK_MISSING &&
           d.plon == VOK_MISSING && d.ellipse == 0;
}

bool finite_fields(const Domain& d)
{
    const float f[] = {d.plat, d.plon, d.param[0], d.param[1], d.param[2], d.param[3], d.param[4],
                       d.clat, d.clon, d.dx, d.dy};
    for (float v : f)
        if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Region texts may ask for a centre on the terminal: answer with nothing.
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
    char tmpl[] = "/tmp/fuzz_region_XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) std::abort();
    const std::string d(dir);
    fuzz_dir = d;
    std::atexit(remove_fuzz_dir);
    write(d + "/vok.reg",
          "# regions\nus States 1 ll,40,-100,41,21,1,1\nloop x 1 loop\na x 1 b\nb x 1 a\n"
          "st x 1 id:KDEN\nf x 1 fi:other.reg\nm x 1 menu:\n");
    write(d + "/other.reg", "30,-90\nfar Far 1 -60,140\n");
    write(d + "/menu", "ne New_England 1\nus United_States 2\n");
    write(d + "/sao.cty", "DENVER               CO US KDEN      1     39.77 -104.87  1611.0 72469 0\n");
    RES_put("file_path", dir);
    MESS_set(0, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Names stay inside the fuzz directory: no paths, home directories or
    // commands.
    std::string text(reinterpret_cast<const char*>(data), size);
    for (char& c : text)
        if (c == '/' || c == '|' || c == '~' || c == '\0') c = '_';
    DOM_reset();
    MAP_reset();

    Domain dom;
    const int r = DOM_decode(text.c_str(), &dom);
    if (r != 1 && r != 2 && r != -1 && r != VOK_MISSING) __builtin_trap();
    if ((r == -1 || r == VOK_MISSING) && !unset(dom)) __builtin_trap();
    if (!finite_fields(dom)) __builtin_trap();
    if (r == 1 && !MAP_check_domain(&dom)) __builtin_trap();
    if (FLAG_get(FLAG_DOMAIN_NUM) != r) __builtin_trap();

    MAP_domain(&dom);
    float x = 0, y = 0;
    MAP_tran_center(&x, &y);
    if (std::isnan(x) || std::isnan(y)) __builtin_trap();
    if (r == 1 && dom.proj >= 1 && dom.proj <= 9 && !MAP_in_grid_domain(x, y)) __builtin_trap();
    const float places[][2] = {{90, 0}, {-90, 180}, {0, -180}, {45, -100}, {-33, 151}};
    for (const auto& p : places) {
        MAP_tran(&x, &y, p[0], p[1]);
        if (std::isnan(x) || std::isnan(y)) __builtin_trap();
    }
    return 0;
}

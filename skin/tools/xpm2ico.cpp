// Turns one of the skin's XPM pictures into a Windows icon file (one image, 32 bits
// per pixel with an AND mask), so that the icons keep a text source a reader can diff.
//   xpm2ico input.xpm output.ico
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // row by row from the top
};

// The quoted strings of the file, in order: the XPM header, colours and rows.
std::vector<std::string> quotedStrings(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const std::size_t end = text.find("*/", i + 2);
            if (end == std::string::npos) break;
            i = end + 1;
        } else if (text[i] == '"') {
            const std::size_t end = text.find('"', i + 1);
            if (end == std::string::npos) break;
            out.push_back(text.substr(i + 1, end - i - 1));
            i = end;
        }
    }
    return out;
}

bool parseXpm(const std::string& text, Picture& pic, std::string& error) {
    const std::vector<std::string> s = quotedStrings(text);
    if (s.empty()) {
        error = "no XPM header";
        return false;
    }
    int colours = 0, cpp = 0;
    std::istringstream header(s[0]);
    if (!(header >> pic.width >> pic.height >> colours >> cpp) || pic.width <= 0 ||
        pic.height <= 0 || pic.width > 256 || pic.height > 256 || colours <= 0 || cpp <= 0) {
        error = "bad XPM header";
        return false;
    }
    if (s.size() < static_cast<std::size_t>(1 + colours + pic.height)) {
        error = "XPM too short";
        return false;
    }
    std::map<std::string, std::uint32_t> palette;
    for (int c = 0; c < colours; ++c) {
        const std::string& line = s[static_cast<std::size_t>(1 + c)];
        if (static_cast<int>(line.size()) < cpp) {
            error = "bad colour line";
            return false;
        }
        std::istringstream rest(line.substr(static_cast<std::size_t>(cpp)));
        std::string kind, value;
        std::uint32_t argb = 0;  // anything but a colour is transparent
        while (rest >> kind >> value) {
            if (kind == "c" && value.size() == 7 && value[0] == '#') {
                argb = 0xff000000u |
                       static_cast<std::uint32_t>(std::stoul(value.substr(1), nullptr, 16));
            }
        }
        palette[line.substr(0, static_cast<std::size_t>(cpp))] = argb;
    }
    for (int y = 0; y < pic.height; ++y) {
        const std::string& row = s[static_cast<std::size_t>(1 + colours + y)];
        if (static_cast<int>(row.size()) < pic.width * cpp) {
            error = "short pixel row";
            return false;
        }
        for (int x = 0; x < pic.width; ++x) {
            auto it = palette.find(
                row.substr(static_cast<std::size_t>(x * cpp), static_cast<std::size_t>(cpp)));
            if (it == palette.end()) {
                error = "pixel with an unknown colour";
                return false;
            }
            pic.argb.push_back(it->second);
        }
    }
    return true;
}

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>((v >> 8) & 0xff);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

std::string toIco(const Picture& pic) {
    const auto w = static_cast<std::uint32_t>(pic.width);
    const auto h = static_cast<std::uint32_t>(pic.height);
    const std::uint32_t maskStride = ((w + 31) / 32) * 4;
    std::string image;
    // BITMAPINFOHEADER; the height counts the colour rows and the mask rows.
    put32(image, 40);
    put32(image, w);
    put32(image, h * 2);
    put16(image, 1);
    put16(image, 32);
    put32(image, 0);
    put32(image, w * h * 4 + maskStride * h);
    put32(image, 0);
    put32(image, 0);
    put32(image, 0);
    put32(image, 0);
    for (std::uint32_t y = h; y-- > 0;) {  // bottom row first
        for (std::uint32_t x = 0; x < w; ++x) put32(image, pic.argb[y * w + x]);  // B G R A
    }
    for (std::uint32_t y = h; y-- > 0;) {
        std::string row(maskStride, '\0');
        for (std::uint32_t x = 0; x < w; ++x) {
            if ((pic.argb[y * w + x] >> 24) == 0)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        image += row;
    }
    std::string ico;
    put16(ico, 0);  // reserved
    put16(ico, 1);  // icon
    put16(ico, 1);  // one image
    ico += static_cast<char>(w == 256 ? 0 : w);
    ico += static_cast<char>(h == 256 ? 0 : h);
    ico += '\0';  // no palette
    ico += '\0';
    put16(ico, 1);   // planes
    put16(ico, 32);  // bits per pixel
    put32(ico, static_cast<std::uint32_t>(image.size()));
    put32(ico, 6 + 16);
    return ico + image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: xpm2ico input.xpm output.ico\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << argv[1] << ": cannot read\n";
        return 1;
    }
    Picture pic;
    std::string error;
    if (!parseXpm(text.str(), pic, error)) {
        std::cerr << argv[1] << ": " << error << "\n";
        return 1;
    }
    // Written beside and renamed, so that a failed build never leaves half an icon.
    const std::string target = argv[2];
    const std::string temp = target + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << toIco(pic);
        if (!out) {
            std::cerr << temp << ": cannot write\n";
            return 1;
        }
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::cerr << target << ": cannot replace\n";
        return 1;
    }
    return 0;
}

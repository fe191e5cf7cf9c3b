#include "support/crlf_lines.h"

#include <fstream>
#include <sstream>

std::string Lesen(const std::string& pfad) {
    std::ifstream in(pfad, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> CrLfZeilen(const std::string& pfad) {
    const std::string all = Lesen(pfad);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = all.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(all.substr(start, pos - start));
    if (start < all.size()) lines.push_back("<unterminated>" + all.substr(start));
    return lines;
}

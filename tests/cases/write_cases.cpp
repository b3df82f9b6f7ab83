// Writes the shared cases into a folder, for the harnesses of the page (in Python and in
// JavaScript): each call's files in a folder of its own, calls/N/, the images in images/, and
// cases.json, which lists them:
//
//   {"calls": [{"args": [...], "input": true | false}, ...],   the call's folder holds its files,
//                                                              and "input" its standard input
//    "images": ["name", ...], "option_sets": [[...], ...]}
//
//   write_cases FOLDER
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "cases.hpp"

namespace {

void put(const std::filesystem::path& path, const test::Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string quoted(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
        }
        json += c;
    }
    return json + "\"";
}

std::string list(const std::vector<std::string>& words) {
    std::string json = "[";
    for (const std::string& word : words) {
        json += (json.size() > 1 ? ", " : "") + quoted(word);
    }
    return json + "]";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_cases FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::u8path(argv[1]);
    std::string json = "{\"calls\": [";
    std::size_t k = 0;
    for (const test::ToolCase& call : test::tool_cases()) {
        const std::filesystem::path calls = folder / "calls" / std::to_string(k);
        std::filesystem::create_directories(calls);
        for (const test::File& file : call.files) {
            put(calls / std::filesystem::u8path(file.name), file.bytes);
        }
        if (!call.input.empty()) {
            put(calls / "input", call.input);
        }
        json += std::string(k++ == 0 ? "\n  " : ",\n  ") + "{\"args\": " + list(call.args) +
                ", \"input\": " + (call.input.empty() ? "false" : "true") + "}";
    }
    json += "],\n \"images\": [";
    std::vector<std::string> names;
    for (const test::File& image : test::images()) {
        put(folder / "images" / image.name, image.bytes);
        names.push_back(image.name);
    }
    json += list(names).substr(1) + ",\n \"option_sets\": [";
    k = 0;
    for (const auto& set : test::option_sets()) {
        json += (k++ == 0 ? "" : ", ") + list(set);
    }
    std::ofstream(folder / "cases.json") << json << "]}\n";
    return 0;
}

#include "ledmap.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "numbers.hpp"

namespace tivrano {
namespace {

// Text of a problem: the parts one after another, numbers in decimal.
struct Problem {
    std::string text;

    Problem& operator<<(std::string_view part) {
        text += part;
        return *this;
    }
    Problem& operator<<(std::uint64_t value) {
        text += NumberText{}.whole(value).view();
        return *this;
    }
};

bool is_digit(char ch) {
    return ch >= '0' && ch <= '9';
}

// Whether the text is all of one decimal number as JSON writes one (`json`), or as CSV files
// do, a sign and a point where they like: no hex, no infinity, no NaN.
bool decimal_form(std::string_view text, bool json) {
    std::size_t at = 0;
    const auto digits = [&] {
        const std::size_t from = at;
        while (at < text.size() && is_digit(text[at])) {
            ++at;
        }
        return at - from;
    };
    const auto take = [&](std::string_view any) {
        const bool taken = at < text.size() && any.find(text[at]) != std::string_view::npos;
        at += taken ? 1U : 0U;
        return taken;
    };
    take(json ? "-" : "-+");
    const bool leading_zero = at < text.size() && text[at] == '0';
    const std::size_t whole = digits();
    const bool point = take(".");
    const std::size_t fraction = point ? digits() : 0;
    if (whole + fraction == 0 ||
        (json && (whole == 0 || (whole > 1 && leading_zero) || (point && fraction == 0)))) {
        return false;
    }
    if (take("eE")) {
        take("-+");
        if (digits() == 0) {
            return false;
        }
    }
    return at == text.size();
}

// The value of a decimal number (see decimal_form), when it is finite.
std::optional<double> number_of(std::string_view text, bool json) {
    constexpr std::size_t LONGEST = 64;
    if (text.size() > LONGEST || !decimal_form(text, json)) {
        return std::nullopt;
    }
    char copy[LONGEST + 1] = {};
    std::copy(text.begin(), text.end(), copy);
    const double value = std::strtod(copy, nullptr);
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// A whole number within the range of an LED's index, from a number.
std::optional<std::int64_t> whole_of(std::optional<double> value) {
    if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e9) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*value);
}

// Just enough JSON for maps: numbers, arrays of them, and members skipped whatever they hold.
struct Json {
    std::string_view text;
    std::size_t at = 0;
    Problem problem;

    static constexpr int DEEPEST = 64;

    bool failed() const { return !problem.text.empty(); }

    void skip_blanks() {
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) {
            ++at;
        }
    }

    bool take(char ch) {
        skip_blanks();
        if (at < text.size() && text[at] == ch) {
            ++at;
            return true;
        }
        return false;
    }

    void expected(std::string_view what) {
        if (failed()) {
            return;
        }
        problem << "not JSON: " << what << " expected";
        if (at < text.size()) {
            problem << " at byte " << at + 1;
        } else {
            problem << ", but the file ends";
        }
    }

    std::optional<double> number() {
        skip_blanks();
        const std::size_t from = at;
        while (at < text.size() && (is_digit(text[at]) || text[at] == '-' || text[at] == '+' ||
                                    text[at] == '.' || text[at] == 'e' || text[at] == 'E')) {
            ++at;
        }
        const std::optional<double> value = number_of(text.substr(from, at - from), true);
        if (!value) {
            at = from;
            expected("a number");
        }
        return value;
    }

    std::string_view string() {
        if (!take('"')) {
            expected("a string");
            return {};
        }
        const std::size_t from = at;
        while (at < text.size() && text[at] != '"') {
            at += text[at] == '\\' ? 2U : 1U;
        }
        if (at >= text.size()) {
            expected("the end of a string");
            return {};
        }
        return text.substr(from, at++ - from);
    }

    // The items of an array, each through `item`, after its opening bracket.
    template <typename Item> void items(Item item) {
        if (take(']')) {
            return;
        }
        do {
            item();
        } while (!failed() && take(','));
        if (!failed() && !take(']')) {
            expected("',' or ']'");
        }
    }

    // The members of an object, each through member(key), after its opening brace.
    template <typename Member> void members(Member member) {
        if (take('}')) {
            return;
        }
        do {
            const std::string_view key = string();
            if (!failed() && !take(':')) {
                expected("':'");
            }
            if (!failed()) {
                member(key);
            }
        } while (!failed() && take(','));
        if (!failed() && !take('}')) {
            expected("',' or '}'");
        }
    }

    void skip_value(int depth = 0) {
        skip_blanks();
        if (depth > DEEPEST) {
            problem << "not JSON a map holds: nested more than " << std::uint64_t{DEEPEST}
                    << " deep";
        } else if (take('[')) {
            items([&] { skip_value(depth + 1); });
        } else if (take('{')) {
            members([&](std::string_view) { skip_value(depth + 1); });
        } else if (at < text.size() && text[at] == '"') {
            string();
        } else {
            constexpr std::string_view WORDS[] = {"true", "false", "null"};
            const auto* const word =
                std::find_if(std::begin(WORDS), std::end(WORDS), [&](std::string_view known) {
                    return text.substr(at, known.size()) == known;
                });
            if (word != std::end(WORDS)) {
                at += word->size();
            } else {
                number();
            }
        }
    }

    void end() {
        skip_blanks();
        if (!failed() && at != text.size()) {
            expected("the end of the file");
        }
    }
};

void too_many(Problem& problem) {
    problem << "more than the " << MAX_MAP_LEDS << " LEDs a map holds";
}

// The array of a grid map's "map", after its key.
void read_cells(Json& json, LedMap& map) {
    if (!json.take('[')) {
        json.expected("'['");
        return;
    }
    json.items([&] {
        const std::optional<std::int64_t> cell = whole_of(json.number());
        if (!json.failed() && (!cell || *cell < -1)) {
            json.problem << "cell " << map.cells.size()
                         << " of \"map\" is not an LED's index (0 or more) nor -1";
        }
        if (!json.failed()) {
            map.cells.push_back(static_cast<std::int32_t>(*cell));
        }
    });
}

// {"map": [...], "width": W, "height": H}: every other member is skipped.
void read_grid(Json& json, LedMap& map) {
    bool has_map = false;
    json.members([&](std::string_view key) {
        if (key == "map") {
            has_map = true;
            read_cells(json, map);
        } else if (key == "width" || key == "height") {
            const std::optional<std::int64_t> value = whole_of(json.number());
            if (!json.failed() && (!value || *value < 1)) {
                json.problem << "\"" << key << "\" is not a whole number of 1 or more";
            }
            (key == "width" ? map.width : map.height) = value;
        } else {
            json.skip_value(1);
        }
    });
    if (!json.failed() && !has_map) {
        json.problem << "a JSON object without \"map\", the LED of each cell";
    }
}

// [[x, y], [x, y, z], ...]: z is ignored.
void read_json_positions(Json& json, LedMap& map) {
    json.items([&] {
        const std::size_t led = map.x.size();
        if (led == MAX_MAP_LEDS) {
            too_many(json.problem);
            return;
        }
        std::vector<double> values;
        if (!json.take('[')) {
            json.expected("'[' (an LED's [x, y])");
            return;
        }
        json.items([&] {
            if (const std::optional<double> value = json.number()) {
                values.push_back(*value);
            }
        });
        if (!json.failed() && values.size() != 2 && values.size() != 3) {
            json.problem << "entry " << led << " is not [x, y] nor [x, y, z]";
        }
        if (!json.failed()) {
            map.x.push_back(values[0]);
            map.y.push_back(values[1]);
        }
    });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The numbers of a CSV line, parted by commas; nothing when one is not a number.
std::optional<std::vector<double>> csv_numbers(std::string_view line) {
    std::vector<double> values;
    for (;;) {
        const std::size_t comma = std::min(line.find(','), line.size());
        const std::optional<double> value = number_of(trimmed(line.substr(0, comma)), false);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
        if (comma == line.size()) {
            return values;
        }
        line.remove_prefix(comma + 1);
    }
}

// Puts the LEDs of "i,x,y" lines in the order of their indices, each 0 to N - 1 once.
std::string order_by_index(const std::vector<std::int64_t>& index, LedMap& map) {
    Problem problem;
    const std::size_t leds = index.size();
    std::vector<std::size_t> line_of(leds, leds);
    for (std::size_t k = 0; k < leds && problem.text.empty(); ++k) {
        const auto i = static_cast<std::uint64_t>(index[k]);
        if (i >= leds) {
            problem << "LED " << i << " of " << leds << " LEDs, which are 0 to " << leds - 1;
        } else if (line_of[static_cast<std::size_t>(i)] != leds) {
            problem << "LED " << i << " is given twice";
        } else {
            line_of[static_cast<std::size_t>(i)] = k;
        }
    }
    if (problem.text.empty()) {
        std::vector<double> x(leds);
        std::vector<double> y(leds);
        for (std::size_t i = 0; i < leds; ++i) {
            x[i] = map.x[line_of[i]];
            y[i] = map.y[line_of[i]];
        }
        map.x = std::move(x);
        map.y = std::move(y);
    }
    return problem.text;
}

// What the CSV lines read so far hold: the values a line (0 before the first LED), and the
// indices of "i,x,y" lines.
struct CsvLeds {
    std::size_t fields = 0;
    std::vector<std::int64_t> index;
};

// Takes the numbers of CSV line `number` as one LED; why they are not one, or an empty text.
std::string take_csv_led(const std::vector<double>& values, std::size_t number, CsvLeds& read,
                         LedMap& map) {
    Problem problem;
    const std::size_t count = values.size();
    const std::optional<std::int64_t> i = whole_of(values.empty() ? -1.0 : values[0]);
    if ((count != 2 && count != 3) || (read.fields != 0 && count != read.fields)) {
        problem << "line " << number << " is not "
                << (read.fields == 3   ? "i,x,y"
                    : read.fields == 2 ? "x,y"
                                       : "x,y nor i,x,y")
                << ", in numbers";
    } else if (map.x.size() == MAX_MAP_LEDS) {
        too_many(problem);
    } else if (count == 3 && (!i || *i < 0)) {
        problem << "line " << number << ": an LED's index is a whole number, 0 or more";
    } else {
        read.fields = count;
        if (count == 3) {
            read.index.push_back(*i);
        }
        map.x.push_back(values[count - 2]);
        map.y.push_back(values[count - 1]);
    }
    return problem.text;
}

// One LED a line: "x,y", or "i,x,y"; blank lines, lines from '#', and a first line that is not
// numbers (a header) are skipped.
std::string read_csv(std::string_view text, LedMap& map) {
    std::string problem;
    CsvLeds read;
    std::size_t number = 0; // of the line
    bool first = true;
    while (!text.empty() && problem.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::optional<std::vector<double>> values = csv_numbers(line);
        const bool header = first && !values;
        first = false;
        if (!header) {
            problem = take_csv_led(values.value_or(std::vector<double>{}), number, read, map);
        }
    }
    if (problem.empty() && read.fields == 3) {
        return order_by_index(read.index, map);
    }
    return problem;
}

// Each index 0 to N - 1 in one cell, N the cells holding an LED.
std::string check_cells(const LedMap& map) {
    Problem problem;
    const auto leds = static_cast<std::size_t>(std::count_if(
        map.cells.begin(), map.cells.end(), [](std::int32_t cell) { return cell >= 0; }));
    if (leds > MAX_MAP_LEDS) {
        too_many(problem);
        return problem.text;
    }
    std::vector<bool> seen(leds);
    for (const std::int32_t cell : map.cells) {
        if (cell < 0) {
            continue;
        }
        const auto i = static_cast<std::size_t>(cell);
        if (i >= leds) {
            problem << "LED " << i << " of " << leds << " LEDs, which are 0 to " << leds - 1;
            break;
        }
        if (seen[i]) {
            problem << "LED " << i << " is in two cells";
            break;
        }
        seen[i] = true;
    }
    return problem.text;
}

// The pixels of a rectangle of `width` x `height`, visit(x, y), in the order of LEDs wired in
// lines from `start`, along columns or rows, serpentine or not.
template <typename Visit>
void walk_rectangle(const Layout& wiring, std::int32_t width, std::int32_t height, Visit visit) {
    const bool left = wiring.start == Corner::top_left || wiring.start == Corner::bottom_left;
    const bool top = wiring.start == Corner::top_left || wiring.start == Corner::top_right;
    const std::int32_t lines = wiring.columns ? width : height;
    const std::int32_t length = wiring.columns ? height : width;
    for (std::int32_t line = 0; line < lines; ++line) {
        const bool back = wiring.serpentine && line % 2 == 1;
        for (std::int32_t k = 0; k < length; ++k) {
            const std::int32_t along = back ? length - 1 - k : k;
            const std::int32_t x = wiring.columns ? line : along;
            const std::int32_t y = wiring.columns ? along : line;
            visit(left ? x : width - 1 - x, top ? y : height - 1 - y);
        }
    }
}

// Where positions fall on `cells` columns (or rows), by their bounding box.
std::vector<std::uint32_t> placed(const std::vector<double>& values, std::int32_t cells) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::vector<std::uint32_t> at(values.size());
    const std::int32_t middle = (cells - 1) / 2; // whole cells: (W - 1) div 2
    for (std::size_t k = 0; k < values.size(); ++k) {
        const double column =
            *low == *high ? middle
                          : std::floor((values[k] - *low) * (cells - 1) / (*high - *low) + 0.5);
        // Within the cells for any positions whose spread times the cells is finite.
        at[k] = static_cast<std::uint32_t>(std::clamp(column, 0.0, cells - 1.0));
    }
    return at;
}

} // namespace

std::size_t LedMap::leds() const {
    return form == MapForm::grid
               ? static_cast<std::size_t>(std::count_if(
                     cells.begin(), cells.end(), [](std::int32_t cell) { return cell >= 0; }))
               : x.size();
}

std::string_view map_form_name(MapForm form) {
    constexpr std::string_view NAMES[] = {"grid map", "JSON positions", "CSV positions"};
    return NAMES[static_cast<std::size_t>(form)];
}

std::string read_map(std::span<const std::uint8_t> bytes, LedMap& map) {
    map = {};
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3); // a byte-order mark
    }
    Json json{text, 0, {}};
    std::string problem;
    if (json.take('{')) {
        map.form = MapForm::grid;
        read_grid(json, map);
        json.end();
        problem = json.failed() ? json.problem.text : check_cells(map);
    } else if (json.take('[')) {
        map.form = MapForm::json_positions;
        read_json_positions(json, map);
        json.end();
        problem = json.problem.text;
    } else {
        map.form = MapForm::csv_positions;
        problem = read_csv(text, map);
    }
    if (problem.empty() && map.leds() == 0) {
        problem = "no LEDs";
    }
    if (!problem.empty()) {
        map = {};
    }
    return problem;
}

std::string place_map(const LedMap& map, std::int32_t width, std::int32_t height,
                      std::vector<std::uint32_t>& pixels) {
    pixels.clear();
    Problem problem;
    if (width <= 0 || height <= 0) {
        problem << "an image of no pixels has no place for LEDs";
        return problem.text;
    }
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    if (map.form != MapForm::grid) {
        for (const std::vector<double>* values : {&map.x, &map.y}) {
            const auto [low, high] = std::minmax_element(values->begin(), values->end());
            if (!std::isfinite((*high - *low) * std::max(width, height))) {
                problem << "the positions lie too far apart to be placed";
                return problem.text;
            }
        }
        const std::vector<std::uint32_t> column = placed(map.x, width);
        const std::vector<std::uint32_t> row = placed(map.y, height);
        for (std::size_t k = 0; k < column.size(); ++k) {
            pixels.push_back(static_cast<std::uint32_t>(row[k] * w + column[k]));
        }
        return {};
    }
    if ((map.width && static_cast<std::uint64_t>(*map.width) != w) ||
        (map.height && static_cast<std::uint64_t>(*map.height) != h)) {
        problem << "the map is " << static_cast<std::uint64_t>(map.width.value_or(width)) << " x "
                << static_cast<std::uint64_t>(map.height.value_or(height)) << ", the image " << w
                << " x " << h;
    } else if (map.cells.size() != w * h) {
        problem << "the map has " << map.cells.size() << " cells, the image " << w << " x " << h
                << " has " << w * h << " pixels";
    } else {
        pixels.resize(map.leds());
        for (std::size_t cell = 0; cell < map.cells.size(); ++cell) {
            if (map.cells[cell] >= 0) {
                pixels[static_cast<std::size_t>(map.cells[cell])] =
                    static_cast<std::uint32_t>(cell);
            }
        }
    }
    return problem.text;
}

std::string place_tiles(const Layout& layout, const Tiles& tiles, std::int32_t width,
                        std::int32_t height, std::vector<std::uint32_t>& pixels) {
    pixels.clear();
    Problem problem;
    if (width <= 0 || height <= 0 || tiles.columns <= 0 || tiles.rows <= 0 ||
        width % tiles.columns != 0 || height % tiles.rows != 0) {
        problem << "an image of " << static_cast<std::uint64_t>(std::max(width, 0)) << " x "
                << static_cast<std::uint64_t>(std::max(height, 0)) << " pixels does not part into "
                << static_cast<std::uint64_t>(std::max(tiles.columns, 0)) << " x "
                << static_cast<std::uint64_t>(std::max(tiles.rows, 0)) << " panels of whole pixels";
        return problem.text;
    }
    const std::int32_t panel_width = width / tiles.columns;
    const std::int32_t panel_height = height / tiles.rows;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    walk_rectangle(tiles.chain, tiles.columns, tiles.rows, [&](std::int32_t px, std::int32_t py) {
        walk_rectangle(layout, panel_width, panel_height, [&](std::int32_t x, std::int32_t y) {
            pixels.push_back(static_cast<std::uint32_t>(
                (static_cast<std::int64_t>(py) * panel_height + y) * width +
                static_cast<std::int64_t>(px) * panel_width + x));
        });
    });
    return {};
}

std::vector<std::uint32_t> led_pixels(const Layout& layout, std::int32_t width,
                                      std::int32_t height) {
    if (!layout.places.empty()) {
        return {layout.places.pixel.begin(), layout.places.pixel.end()};
    }
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    walk_rectangle(layout, width, height, [&](std::int32_t x, std::int32_t y) {
        pixels.push_back(static_cast<std::uint32_t>(static_cast<std::int64_t>(y) * width + x));
    });
    return pixels;
}

std::string grid_map(const Layout& layout, std::int32_t width, std::int32_t height,
                     std::string& json) {
    json.clear();
    const std::vector<std::uint32_t> pixels = led_pixels(layout, width, height);
    std::vector<std::int64_t> cells(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height), -1);
    Problem problem;
    for (std::size_t led = 0; led < pixels.size(); ++led) {
        std::int64_t& cell = cells[pixels[led]];
        if (cell >= 0) {
            const auto w = static_cast<std::uint32_t>(width);
            problem << "LEDs " << static_cast<std::uint64_t>(cell) << " and " << led
                    << " lie on one pixel (" << pixels[led] % w << ", " << pixels[led] / w
                    << "), which a grid map cannot say";
            return problem.text;
        }
        cell = static_cast<std::int64_t>(led);
    }
    Problem out;
    out << "{\"width\": " << static_cast<std::uint64_t>(width)
        << ", \"height\": " << static_cast<std::uint64_t>(height) << ", \"map\": [";
    for (std::size_t k = 0; k < cells.size(); ++k) {
        out << (k % static_cast<std::size_t>(width) == 0 ? "\n  " : " ");
        if (cells[k] < 0) {
            out << "-1";
        } else {
            out << static_cast<std::uint64_t>(cells[k]);
        }
        out << (k + 1 < cells.size() ? "," : "");
    }
    out << "\n]}\n";
    json = std::move(out.text);
    return {};
}

} // namespace tivrano

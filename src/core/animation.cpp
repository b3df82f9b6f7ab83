#include "animation.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <utility>

#include "formats.hpp"
#include "names.hpp"
#include "pack_small.hpp"
#include "text.hpp"

namespace tivrano {
namespace {

using text::put;
using text::put_number;

// The bytes a text's objects take beside the frames' own (the palette and records, or the
// distinct frames): so many a frame, and so many once.
struct Objects {
    std::uint64_t per_frame;
    std::uint64_t once;
};

// On an AVR, where pointers and size_t take 2 bytes and nothing is padded. Packed: a record's
// pointer and a delay a frame; the struct, of 3 uint16_t, a uint8_t and 3 pointers. As arrays:
// a frame's pointer, its delay, its _size (size_t), _width and _height (int32_t); NAME_count
// (size_t), NAME_width and NAME_height (int32_t).
constexpr Objects PACKED_OBJECTS = {2 + 2, 3 * 2 + 1 + 3 * 2};
constexpr Objects ARRAYS_OBJECTS = {2 + 2 + 2 + 4 + 4, 2 + 4 + 4};
// What 4-byte pointers and size_t add to that, before any padding that aligns the arrays: a
// pointer a frame and the struct's 3, with a byte to align them; as arrays, a pointer and a
// _size a frame, and NAME_count.
constexpr Objects PACKED_WIDE_MORE = {2, 3 * 2 + 1};
constexpr Objects ARRAYS_WIDE_MORE = {2 + 2, 2};

// A name with a suffix, such as NAME_3 for frame 3 or NAME_record_3.
class Name {
  public:
    Name(std::string_view name, std::string_view suffix,
         std::optional<std::size_t> number = std::nullopt) {
        add(name);
        add(suffix);
        if (number) {
            const auto end = std::to_chars(text_ + size_, std::end(text_), *number);
            size_ = static_cast<std::size_t>(end.ptr - text_);
        }
    }
    std::string_view view() const { return {text_, size_}; }

  private:
    void add(std::string_view part) {
        std::memcpy(text_ + size_, part.data(), part.size());
        size_ += part.size();
    }
    char text_[MAX_NAME_SIZE + 32] = {};
    std::size_t size_ = 0;
};

void put_named(text::Writer& out, std::string_view before, std::string_view name,
               std::string_view after) {
    put(out, before);
    put(out, name);
    put(out, after);
}

// Entries parted by commas, eight to a line, in braces, ending the definition.
template <typename Entry> void put_list(text::Writer& out, std::size_t count, Entry entry) {
    put(out, " = {");
    for (std::size_t k = 0; k < count; ++k) {
        put(out, k % 8 == 0 ? "\r\n    " : " ");
        entry(k);
        put(out, ",");
    }
    put(out, "\r\n};\r\n");
}

// An array of bytes as values, from its opening to its closing.
void put_array(text::Writer& out, std::string_view opening, std::string_view name,
               std::string_view placement, std::span<const std::uint8_t> bytes) {
    put_named(out, opening, name, "[]");
    put(out, placement);
    put(out, " = {\r\n    ");
    int j = 0;
    text::put_values(out, bytes, j);
    put(out, text::NAMED_ARRAY_CLOSING);
}

// A frame's array in the options' format; a strip line takes `bytes_a_line` of its bytes.
void put_frame(text::Writer& out, std::string_view name, std::string_view placement,
               std::span<const std::uint8_t> bytes, const ArrayOptions& options,
               std::uint64_t bytes_a_line) {
    if (options.format == Format::grb) {
        put_array(out, text::ARRAY_TYPE, name, placement, bytes);
        return;
    }
    put_named(out, text::array_type(options.format), name, "[]");
    put(out, placement);
    put(out, " = {\r\n    ");
    std::uint64_t count = 0;
    text::put_encoded(out, options.format, bytes, bytes_a_line, count);
    put(out, text::NAMED_ARRAY_CLOSING);
}

// What the text defines, declared for the text itself and for its header.
void put_declarations(text::Writer& out, const Storage& storage, std::string_view name,
                      Format format) {
    put(out, text::C_LINKAGE);
    if (storage.packed) {
        put_named(out, "extern const struct tivrano_animation ", name, ";\r\n");
        put_named(out, "enum { ", name, "_leds = ");
        put_number(out, storage.leds);
        if (format != Format::grb) {
            // The LED buffer's bytes, which the values' own size decides.
            put_named(out, ", ", name, "_bytes = ");
            put_number(out, storage.packed->grid.bytes * storage.packed->grid.values());
        }
        put(out, " };\r\n");
    } else {
        for (std::size_t k = 0; k < storage.same_as.size(); ++k) {
            const Name frame(name, "_", k);
            if (storage.same_as[k] == k) {
                text::put_frame_declarations(out, frame.view(), format);
                continue;
            }
            put_named(out, "#define ", frame.view(), " ");
            put_named(out, "", Name(name, "_", storage.same_as[k]).view(), "\r\n");
            put_named(out, "extern const size_t ", frame.view(), "_size;\r\n");
            put_named(out, "extern const int32_t ", frame.view(), "_width, ");
            put_named(out, "", frame.view(), "_height;\r\n");
        }
        put(out, "extern ");
        put(out, text::array_type(format));
        put_named(out, "*const ", name, "[];\r\n");
        put_named(out, "extern const size_t ", name, "_count;\r\n");
        put_named(out, "extern const int32_t ", name, "_width, ");
        put_named(out, "", name, "_height;\r\n");
        put_named(out, "extern const uint16_t ", name, "_delay_ms[];\r\n");
    }
    put(out, text::C_LINKAGE_END);
}

// Each distinct frame an array of its own, and the table, the count, the size and the delays.
void put_frames(text::Writer& out, const Frames& frames, const Storage& storage,
                const ArrayOptions& options) {
    const std::string_view name = options.name;
    const std::string_view placement = options.progmem ? " PROGMEM" : "";
    if (options.progmem) {
        put(out, text::PROGMEM_PROLOGUE);
    }
    const std::uint64_t bytes_a_line = line_bytes(
        options.format, static_cast<std::uint64_t>(
                            strip_shape(options.layout, frames.width, frames.height).length));
    for (std::size_t k = 0; k < frames.count(); ++k) {
        const Name frame(name, "_", k);
        if (storage.same_as[k] == k) {
            put_frame(out, frame.view(), placement, frames.frame(k), options, bytes_a_line);
        }
        text::put_frame_definitions(out, frame.view(), frames.width, frames.height);
    }
    put(out, text::array_type(options.format));
    put_named(out, "*const ", name, "[]");
    put(out, placement);
    put_list(out, frames.count(), [&](std::size_t k) { put(out, Name(name, "_", k).view()); });
    put_named(out, "const size_t ", name, "_count = ");
    put_number(out, frames.count());
    put_named(out, ";\r\nconst int32_t ", name, "_width = ");
    put_number(out, frames.width);
    put_named(out, ", ", name, "_height = ");
    put_number(out, frames.height);
    put_named(out, ";\r\nconst uint16_t ", name, "_delay_ms[]");
    put(out, placement);
    put_list(out, frames.count(), [&](std::size_t k) { put_number(out, frames.delay_ms[k]); });
}

// The palette, the records, the table of each frame's record, the delays, and the animation
// that holds them, all in flash memory on an AVR.
void put_packed(text::Writer& out, const Frames& frames, const Packed& packed,
                std::string_view name) {
    constexpr std::string_view FLASH = " TIVRANO_FLASH";
    constexpr std::string_view STATIC_ARRAY = "static const uint8_t ";
    // Packed small, the model's probabilities lie before the palette, in the same array.
    std::vector<std::uint8_t> palette = packed.model;
    palette.insert(palette.end(), packed.palette.begin(), packed.palette.end());
    if (!palette.empty()) {
        put_array(out, STATIC_ARRAY, Name(name, "_palette").view(), FLASH, palette);
    }
    for (std::size_t k = 0; k < packed.records.size(); ++k) {
        put_array(out, STATIC_ARRAY, Name(name, "_record_", k).view(), FLASH, packed.records[k]);
    }
    put_named(out, "static const uint8_t *const ", name, "_frames[]");
    put(out, FLASH);
    put_list(out, frames.count(), [&](std::size_t k) {
        put(out, Name(name, "_record_", packed.frame_record[k]).view());
    });
    put_named(out, "static const uint16_t ", name, "_delay_ms[]");
    put(out, FLASH);
    put_list(out, frames.count(), [&](std::size_t k) { put_number(out, frames.delay_ms[k]); });
    put_named(out, "const struct tivrano_animation ", name, " TIVRANO_FLASH = {\r\n    .count = ");
    put_number(out, frames.count());
    put(out, ", .width = ");
    put_number(out, packed.grid.width);
    put(out, ", .height = ");
    put_number(out, packed.grid.height);
    put(out, ", .bits = ");
    put_number(out, packed.bits);
    if (value_field(packed) != 0) {
        put(out, " | ");
        put_number(out, packed.grid.bytes);
        put(out, " << TIVRANO_VALUE_SHIFT");
    }
    if (packed.small) {
        put(out, " | TIVRANO_SMALL_FLAG");
    }
    put(out, ",\r\n    .palette = ");
    if (palette.empty()) {
        put(out, "NULL");
    } else {
        put_named(out, "", name, "_palette");
    }
    put_named(out, ", .frames = ", name, "_frames");
    put_named(out, ", .delay_ms = ", name, "_delay_ms,\r\n};\r\n");
}

// Whether the header plays another format than the packed frames': the test of its macro.
void put_format_test(text::Writer& out, const Packed& packed) {
    const int format = format_of(packed);
    put(out, format == PLAYER_FORMAT  ? "TIVRANO_PLAYER_FORMAT != "
             : format == SMALL_FORMAT ? "TIVRANO_SMALL_FORMAT != "
             : format == MIXED_FORMAT
                 ? "!defined(TIVRANO_MIXED_FORMAT) || TIVRANO_MIXED_FORMAT != "
                 : "!defined(TIVRANO_OFFSET_FORMAT) || TIVRANO_OFFSET_FORMAT != ");
    put_number(out, format);
}

// The player's header for values of rgb565 or mono, which asks for a player of their size, and
// for the small player if packed small.
void put_value_player(text::Writer& out, const Packed& packed, std::string_view name) {
    put(out, "#ifndef TIVRANO_VALUE_BYTES\r\n#define TIVRANO_VALUE_BYTES ");
    put_number(out, packed.grid.bytes);
    put(out, "\r\n#endif\r\n");
    if (packed.small) {
        put(out, "#ifndef TIVRANO_SMALL\r\n#define TIVRANO_SMALL 1\r\n#endif\r\n");
    }
    put(out, "#include \"tivrano_player.h\"\r\n#if !defined(TIVRANO_VALUE_FIELD) || "
             "TIVRANO_VALUE_BYTES != ");
    put_number(out, packed.grid.bytes);
    put(out, packed.small ? " || !defined(TIVRANO_SMALL_PLAYER) || " : " || ");
    put_format_test(out, packed);
    put_named(out, "\r\n#error \"", name, ": this text was made by tivrano for a player of ");
    put_number(out, packed.grid.bytes);
    put(out, packed.small ? "-byte values, packed small: define TIVRANO_VALUE_BYTES "
                          : "-byte values: define TIVRANO_VALUE_BYTES ");
    put_number(out, packed.grid.bytes);
    put(out, packed.small ? " and TIVRANO_SMALL" : "");
    put(out, " before tivrano_player.h is first included, and use the tivrano_player.h of the "
             "same version\"\r\n#endif\r\n");
}

// The player's header, and the format this text is made for: another header stops the build,
// saying why. An animation packed small asks for the small player, which a header included
// before without it lacks.
void put_player(text::Writer& out, const Packed& packed, std::string_view name) {
    if (packed.grid.bytes != 3) {
        put_value_player(out, packed, name);
        return;
    }
    if (!packed.small) {
        put(out, "#include \"tivrano_player.h\"\r\n");
        put(out, "#if !defined(TIVRANO_PLAYER_FORMAT) || TIVRANO_PLAYER_FORMAT != ");
        put_number(out, PLAYER_FORMAT);
        put_named(out, "\r\n#error \"", name, ": this text was made by tivrano for player format ");
        put_number(out, PLAYER_FORMAT);
        put(out, "; use the tivrano_player.h of the same version\"\r\n#endif\r\n");
    } else {
        put(out, "#ifndef TIVRANO_SMALL\r\n#define TIVRANO_SMALL 1\r\n#endif\r\n");
        put(out, "#include \"tivrano_player.h\"\r\n");
        put(out, "#if !defined(TIVRANO_SMALL_PLAYER) || ");
        put_format_test(out, packed);
        put_named(out, "\r\n#error \"", name,
                  ": this text was made by tivrano for the small player, format ");
        put_number(out, format_of(packed));
        put(out, ": define TIVRANO_SMALL before tivrano_player.h is first included, and use the "
                 "tivrano_player.h of the same version\"\r\n#endif\r\n");
    }
    // A header of values of another size (an rgb565 or mono animation's) plays none of these.
    put(out, "#if defined(TIVRANO_VALUE_BYTES) && TIVRANO_VALUE_BYTES != 3\r\n");
    put_named(out, "#error \"", name,
              ": this text was made by tivrano for a player of 3-byte values: include "
              "tivrano_player.h where TIVRANO_VALUE_BYTES is 3 or not defined\"\r\n#endif\r\n");
}

// An AVR holds no object over 32767 bytes; a text with one stops the build there, saying so.
void put_object_limit(text::Writer& out, const Frames& frames, const Storage& storage,
                      std::string_view name) {
    constexpr std::size_t AVR_OBJECT_LIMIT = 32767;
    std::size_t largest = 2 * frames.count(); // the table and the delays
    if (storage.packed) {
        largest = std::max(largest, storage.packed->model.size() + storage.packed->palette.size());
        for (const auto& record : storage.packed->records) {
            largest = std::max(largest, record.size());
        }
    } else {
        largest = std::max(largest, frames.frame_size());
    }
    if (largest > AVR_OBJECT_LIMIT) {
        put_named(out, "#ifdef __AVR__\r\n#error \"", name, ": an array of ");
        put_number(out, largest);
        put(out, " bytes, and an AVR holds no object over 32767 bytes: use smaller frames, or "
                 "fewer\"\r\n#endif\r\n");
    }
}

std::string summary(const Storage& storage, std::size_t count, Format format) {
    return "Animation: " + std::to_string(count) + (count == 1 ? " frame, " : " frames, ") +
           std::to_string(storage.frames_bytes) + " bytes as " + std::string(values_name(format)) +
           ", " + std::to_string(storage.stored) + " bytes stored on an AVR, " +
           std::to_string(storage.stored + storage.wide_more) + " or more with 4-byte pointers" +
           (!storage.packed         ? "\r\n"
            : storage.packed->small ? ", packed small\r\n"
                                    : ", packed\r\n");
}

} // namespace

Storage store(const Frames& frames, Pack pack) {
    Storage storage;
    storage.frames_bytes = frames.values.size();
    storage.leds =
        static_cast<std::uint64_t>(frames.width) * static_cast<std::uint64_t>(frames.height);
    const std::uint64_t count = frames.count();
    if (pack != Pack::none) {
        storage.packed = pack == Pack::small ? pack_small(frames) : tivrano::pack(frames);
        if (pack == Pack::smallest) {
            Packed small = pack_small(frames);
            if (packed_size(small) < packed_size(*storage.packed)) {
                storage.packed = std::move(small);
            }
        }
        storage.stored = packed_size(*storage.packed);
        storage.stored += PACKED_OBJECTS.per_frame * count + PACKED_OBJECTS.once;
        storage.wide_more = PACKED_WIDE_MORE.per_frame * count + PACKED_WIDE_MORE.once;
        return storage;
    }
    std::multimap<std::uint64_t, std::uint16_t> seen;
    for (std::size_t k = 0; k < frames.count(); ++k) {
        const auto frame = frames.frame(k);
        const std::uint64_t hash = hash_of(frame);
        auto same = static_cast<std::uint16_t>(k);
        const auto [first, last] = seen.equal_range(hash);
        for (auto earlier = first; earlier != last; ++earlier) {
            if (same_bytes(frames.frame(earlier->second), frame)) {
                same = earlier->second;
                break;
            }
        }
        if (same == k) {
            seen.emplace(hash, same);
            storage.stored += frame.size();
        }
        storage.same_as.push_back(same);
    }
    storage.stored += ARRAYS_OBJECTS.per_frame * count + ARRAYS_OBJECTS.once;
    storage.wide_more = ARRAYS_WIDE_MORE.per_frame * count + ARRAYS_WIDE_MORE.once;
    return storage;
}

int write_animation(const Frames& frames, const Storage& storage, const ArrayOptions& options,
                    const ColourPlan* plan, Sink sink) {
    text::Writer out; // its buffer is left uninitialised: it is written before it is read
    out.sink = sink;
    text::put_comment(out, frames.image_width, frames.image_height, options, plan,
                      summary(storage, frames.count(), options.format));
    if (storage.packed) {
        put_player(out, *storage.packed, options.name);
    } else {
        put(out, "#include <stddef.h>\r\n#include <stdint.h>\r\n");
    }
    put_object_limit(out, frames, storage, options.name);
    put_declarations(out, storage, options.name, options.format);
    if (storage.packed) {
        put_packed(out, frames, *storage.packed, options.name);
    } else {
        put_frames(out, frames, storage, options);
    }
    text::flush(out);
    return out.failed ? -1 : 0;
}

int write_animation_header(const Storage& storage, const ArrayOptions& options, Sink sink) {
    text::Writer out; // its buffer is left uninitialised: it is written before it is read
    out.sink = sink;
    put_named(out, "/* The animation ", options.name,
              ", declared as the text tivrano wrote defines it. Generated; do not edit. */\r\n");
    put_named(out, "#ifndef TIVRANO_ANIMATION_", options.name, "_H\r\n");
    put_named(out, "#define TIVRANO_ANIMATION_", options.name, "_H\r\n");
    if (storage.packed) {
        put_player(out, *storage.packed, options.name);
    } else {
        put(out, "#include <stddef.h>\r\n#include <stdint.h>\r\n");
    }
    put_declarations(out, storage, options.name, options.format);
    put(out, "#endif\r\n");
    text::flush(out);
    return out.failed ? -1 : 0;
}

} // namespace tivrano

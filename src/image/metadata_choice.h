#pragma once
// Which of the source's photo information goes into a JPG output. One setting for the whole
// program: the settings store keeps it as one of the words below, the settings dialog shows it,
// and pictorra-cli takes it after --metadata. Header only, so that the settings store (which
// does not link the engine) can read and write the same words.

#include <cstdint>
#include <optional>
#include <string_view>

namespace pictorra::image {

enum class MetadataChoice : uint8_t {
    kKeepAll,     // everything the output can carry, the location too
    kNoLocation,  // everything but where the photo was taken
    kNone,        // no information at all
};

// Where the photos were taken is private unless the user says otherwise.
inline constexpr MetadataChoice kDefaultMetadataChoice = MetadataChoice::kNoLocation;

constexpr std::string_view MetadataChoiceWord(MetadataChoice choice) {
    switch (choice) {
        case MetadataChoice::kKeepAll:
            return "keep-all";
        case MetadataChoice::kNone:
            return "none";
        case MetadataChoice::kNoLocation:
            break;
    }
    return "no-location";
}

// The choice a word names (exactly as MetadataChoiceWord writes it); nothing for any other text.
constexpr std::optional<MetadataChoice> ParseMetadataChoice(std::string_view word) {
    for (const MetadataChoice c :
         {MetadataChoice::kKeepAll, MetadataChoice::kNoLocation, MetadataChoice::kNone}) {
        if (word == MetadataChoiceWord(c)) return c;
    }
    return std::nullopt;
}

}  // namespace pictorra::image

// A resource type, name or language: a number or a UTF-16 string.
#pragma once

#include <cstdint>
#include <string>

namespace tamrel::msgcore {

struct ResourceId {
    bool IsString = false;
    uint32_t Id = 0;
    std::u16string Name;

    static ResourceId Number(uint32_t id) { return {false, id, {}}; }
    static ResourceId String(std::u16string name) { return {true, 0, std::move(name)}; }
    bool operator==(const ResourceId&) const = default;
};

} // namespace tamrel::msgcore

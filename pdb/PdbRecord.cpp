#include "pdb/PdbRecord.h"

void CPdbRecord::SetData(const std::uint8_t* data, std::uint32_t length)
{
    if (data == nullptr || length == 0) {
        // A record without bytes keeps no buffer at all, not an empty one with spare capacity.
        std::vector<std::uint8_t>().swap(m_data);
        return;
    }
    m_data.assign(data, data + length);
}

void CPdbRecord::SetData(std::span<const std::uint8_t> data)
{
    if (data.empty()) {
        std::vector<std::uint8_t>().swap(m_data);
        return;
    }
    m_data.assign(data.begin(), data.end());
}

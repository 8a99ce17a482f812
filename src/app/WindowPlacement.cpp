#include "app/WindowPlacement.h"

#include "framing/ByteOrder.h"

namespace {

constexpr int FIELD_COUNT = 11;

}  // namespace

std::vector<uint8_t> WindowPlacement::Encode() const {
  std::vector<uint8_t> out(PLACEMENT_SIZE);
  const int32_t fields[FIELD_COUNT] = {m_Length, m_Flags, m_ShowCmd, m_MinX,  m_MinY,  m_MaxX,
                                       m_MaxY,   m_Left,  m_Top,     m_Right, m_Bottom};
  for (int i = 0; i < FIELD_COUNT; ++i) WriteLe32(out.data() + 4 * i, static_cast<uint32_t>(fields[i]));
  return out;
}

bool WindowPlacement::Decode(const uint8_t* bytes, size_t size) {
  if (!bytes || size != PLACEMENT_SIZE) return false;
  int32_t* fields[FIELD_COUNT] = {&m_Length, &m_Flags, &m_ShowCmd, &m_MinX,  &m_MinY,  &m_MaxX,
                                  &m_MaxY,   &m_Left,  &m_Top,     &m_Right, &m_Bottom};
  for (int i = 0; i < FIELD_COUNT; ++i) *fields[i] = static_cast<int32_t>(ReadLe32(bytes + 4 * i));
  return true;
}

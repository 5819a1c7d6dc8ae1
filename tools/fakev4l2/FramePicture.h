#pragma once

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

// The emulated camera's picture: seven vertical colour bars (yellow, cyan, green, magenta, red,
// blue, black) and a white block over the middle quarter, as YUYV or as a JPEG 4:2:2 frame.
// Frames are made once per format and size; callers serialise access.
class FramePicture
{
public:
    // The frame's bytes; empty when the format cannot be made (then a grey YUYV-sized frame).
    const std::vector<uint8_t>& frame(uint32_t fourcc, uint32_t width, uint32_t height);

private:
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, std::vector<uint8_t>> m_frames;
};

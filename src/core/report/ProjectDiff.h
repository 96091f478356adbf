#pragma once
// What differs between two configurations, one readable line per difference:
//   "COM1 slot 3: 读4区 03H slave 1 start 0 qty 10 → qty 20"
// Projects are compared by content (address, slot count, ports, serial
// parameters, each slot's module), never by file layout; images by what
// they decode to.
#include <string>
#include <vector>

#include "core/image/ImageDecoder.h"
#include "core/model/CVarnelDoc.h"

namespace varnel {

// Differences between two documents; empty when they configure the same.
std::vector<std::string> DiffDocuments(const CVarnelDoc& a, const CVarnelDoc& b);

// Differences between two decoded images: ports, serial parameters and each
// module in image order ("COM1 module 2: ..."); empty when equal.
std::vector<std::string> DiffImages(const DecodedImage& a, const DecodedImage& b);

// A module in words: "读4区 03H slave 1 start 0 qty 10", a status table by
// its name, "(empty)" for an empty slot.
std::string DescribeModule(const CModule& module);

}  // namespace varnel

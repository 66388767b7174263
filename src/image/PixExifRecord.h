#pragma once
// What the Exif reader found in a JPEG file. The JPEG decoder reads the is-Exif flag, the X and
// Y resolution and the resolution-unit factor; the camera fields are kept for callers that want
// them.
#include <cstdint>

struct PixExifRecord {
    bool isExif = false;
    // From the frame header.
    std::int32_t height = 0;
    std::int32_t width = 0;
    bool isColor = false;
    std::int32_t process = 0;  // the frame marker
    std::int32_t orientation = 0;
    float xResolution = 0;
    float yResolution = 0;
    float resolutionUnit = 0;  // inches per unit: 1 for inches, 0.3937... for centimetres
    float focalPlaneXRes = 0;
    float focalPlaneYRes = 0;
    float focalPlaneUnits = 0;
    char comment[1001] = {};
    char cameraMake[40] = {};
    char cameraModel[40] = {};
    char dateTime[20] = {};
    float exposureTime = 0;
    float apertureFNumber = 0;
    float focalLength = 0;
    std::int32_t flashUsed = 0;
};

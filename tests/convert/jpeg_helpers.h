#pragma once
// Making MJPG frames for the tests: encoding with libjpeg and stripping the
// Huffman tables the way cameras send their frames.
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

using Bytes = std::vector<std::uint8_t>;

// Baseline JPEG of an 8-bit B, G, R (3 channels) or grey (1 channel) image;
// `comment` bytes, when given, go into a COM segment right after SOI/APP0.
// Colour is sampled `lumaSampling` times more coarsely than brightness
// (2 x 2: 4:2:0, 2 x 1: 4:2:2, 1 x 1: 4:4:4).
Bytes EncodeJpeg(const cv::Mat& image, int quality = 85, const Bytes& comment = {},
                 cv::Size lumaSampling = cv::Size(2, 2));
// The frame with every DHT segment removed.
Bytes StripHuffmanTables(const Bytes& jpeg);
// The contents of the frame's DHT segments (markers and lengths left out), in order.
Bytes HuffmanTablePayload(const Bytes& jpeg);
// A test picture with gradients, edges and some noise.
cv::Mat TestPicture(int width, int height, unsigned seed = 1);
// Decodes with libjpeg alone (frame with its tables), R, G, B rows top-down.
Bytes BareDecode(const Bytes& jpeg, int* width, int* height);

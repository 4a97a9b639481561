// Converts a picture kept in the repository as PNG into the 24-bit BMP that
// the station reads beside its executable.  Used by the build only.
//   png_to_bmp <in.png> <out.bmp>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: png_to_bmp <in.png> <out.bmp>\n");
        return 2;
    }
    cv::Mat img = cv::imread(argv[1], cv::IMREAD_COLOR);  // 8-bit BGR, alpha dropped
    if (img.empty()) {
        std::fprintf(stderr, "png_to_bmp: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!cv::imwrite(argv[2], img)) {
        std::fprintf(stderr, "png_to_bmp: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

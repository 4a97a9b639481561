#pragma once
#include <vector>
// The image-library functions that OpenCV 4 no longer provides, with their old
// names and meaning, built on OpenCV's C++ interface.
#include <opencv2/core/core_c.h>
#include <opencv2/imgproc/imgproc_c.h>

// Desired colour of cvLoadImage: >0 three channels, 0 grey, <0 as stored.
#ifndef CV_LOAD_IMAGE_UNCHANGED
#define CV_LOAD_IMAGE_UNCHANGED -1
#define CV_LOAD_IMAGE_GRAYSCALE 0
#define CV_LOAD_IMAGE_COLOR 1
#endif
// cvConvertImage flags.
#ifndef CV_CVTIMG_FLIP
#define CV_CVTIMG_FLIP 1
#define CV_CVTIMG_SWAP_RB 2
#endif

// Loads a picture file; nullptr when it cannot be read.  Release with cvReleaseImage.
IplImage* cvLoadImage(const char* filename, int iscolor = CV_LOAD_IMAGE_COLOR);
// Saves by the file's ending (a 3-channel image to ".bmp" as a 24-bit BMP);
// non-zero on success, 0 on failure (never throws).
int cvSaveImage(const char* filename, const CvArr* image, const int* params = nullptr);
// Copies src into dst converting the channel count (1, 3 or 4 channels);
// CV_CVTIMG_FLIP flips vertically, CV_CVTIMG_SWAP_RB swaps red and blue.
void cvConvertImage(const CvArr* src, CvArr* dst, int flags = 0);

// The stream capture: an opaque handle over cv::VideoCapture with open and
// read time-outs, so a stalled stream returns within seconds.  A network
// address (one with a scheme such as "http://") is a live stream: when it
// ends, stalls or stops decoding, later queries open it again, at most once a
// second, and each query waits for at most one open or one read.
struct CvCapture;
CvCapture* cvCreateFileCapture(const char* filename);
// The next frame (8-bit BGR, at the size the stream has now), owned by the
// capture and valid until the next query or the release; nullptr on failure,
// at the end of a file, or while a network stream is being opened again.
IplImage* cvQueryFrame(CvCapture* capture);
void cvReleaseCapture(CvCapture** capture);

namespace plat {
class JpegRowSink;
// The stream reader's query, copy and turn in one pass: the next frame, as
// cvQueryFrame gives it, written into the caller's own image `*copy` (made, or
// made anew when the size changes, as 8-bit B, G, R) and turned by 180 degrees
// when `turned` is set; a picture the capture decodes itself is decoded
// straight into the copy.  False when cvQueryFrame would give nothing (the
// copy then holds nothing to show).  `seen`, when given, sees the rows of a picture the capture decodes itself.
bool QueryFrameCopy(CvCapture* capture, IplImage** copy, bool turned, JpegRowSink* seen = nullptr);
// After QueryFrameCopy decoded a picture itself: the data it decoded, copied
// into `*data`; false (and `*data` left alone) when there is none.
bool CopyLastPicturesData(CvCapture* capture, std::vector<unsigned char>* data);
// Decodes such data into `into` as QueryFrameCopy decoded it (8-bit B, G, R,
// turned by 180 degrees when `turned` is set); false unless `into` is an
// image of the picture's size.
bool DecodePictureInto(const std::vector<unsigned char>& data, IplImage* into, bool turned);
// Passes over the next frame as cvQueryFrame would give it, without making
// the picture where that can be helped; true when there was one.
bool SkipFrame(CvCapture* capture);
// Time-outs used by cvCreateFileCapture (milliseconds); tests shorten them.
void SetCaptureTimeouts(int openMs, int readMs);
}  // namespace plat

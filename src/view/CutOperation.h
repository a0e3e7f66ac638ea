// TEMPORARY local copy of the Cut helper's declaration; replaced by the real header on merge.
#pragma once
#include "CropBoxModel.h"
#include "RasterImage.h"
struct CutRequest {
    int clientWidth, clientHeight, viewWidth, viewHeight;
    cropbox::Rect box;
    int shape;
    double borderFraction;
};
bool CutPicture(const RasterImage& work, const CutRequest& request, RasterImage& result);

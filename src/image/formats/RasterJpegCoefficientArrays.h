// The coefficient arrays of a JPEG decode, kept in the picture block pool.
//
// A progressive stream keeps the coefficients of its whole frame while its scans arrive: for a
// 5120 x 2880 photo that is 88 MB, which libjpeg allocates, zeroes and hands back to the system
// for every file, even when the decode is reduced to 1/8. Fresh memory costs a page fault per
// page (and here, in a virtual machine, the host's work behind it); on a folder of such photos
// that was most of a thumbnail scan, and two threads faulting at once paid more than twice one.
// Taking the arrays from RasterBlockPool, in huge pages, leaves the zeroing at memory speed.
#pragma once

struct jpeg_decompress_struct;

// Makes the whole-frame coefficient arrays of cinfo (those of progressive and multi-scan
// streams) come from one RasterBlockPool block, given back to the pool when the image's memory
// is freed (jpeg_finish_decompress, jpeg_abort, jpeg_destroy). Call between
// jpeg_create_decompress and jpeg_start_decompress. Uses cinfo->client_data, which must be
// free. libjpeg's rules hold: the arrays of an image beyond cinfo->mem->max_memory_to_use are
// JERR_OUT_OF_MEMORY, an access outside an array is JERR_BAD_VIRTUAL_ACCESS, and arrays asked
// to start zeroed do.
void KeepCoefficientsInBlockPool(jpeg_decompress_struct& cinfo);

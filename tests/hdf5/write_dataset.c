/* Writes /from_c through HDF5's C API with the vaskor filter, as a C user
 * would: usage write_dataset FILE [LAYOUT TRANSFORM] (cd_values; none: the
 * filter's default). The values are i*i - 5000 for i < 1000, int32, in
 * chunks of 128. */
#include <hdf5.h>
#include <stdio.h>
#include <stdlib.h>

#include <vaskor/vaskor.h>

int main(int argc, char **argv) {
  enum { N = 1000 };
  int values[N];
  for (int i = 0; i < N; ++i) values[i] = i * i - 5000;
  if (argc != 2 && argc != 4) {
    fprintf(stderr, "usage: write_dataset FILE [LAYOUT TRANSFORM]\n");
    return 2;
  }
  const unsigned cd[2] = {argc == 4 ? (unsigned)atoi(argv[2]) : 0, argc == 4 ? (unsigned)atoi(argv[3]) : 0};
  const hsize_t dims[1] = {N}, chunk[1] = {128};
  hid_t file = H5Fcreate(argv[1], H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  hid_t space = H5Screate_simple(1, dims, NULL);
  hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
  herr_t ok = H5Pset_chunk(dcpl, 1, chunk);
  if (ok >= 0) ok = H5Pset_filter(dcpl, VASKOR_H5_FILTER_ID, H5Z_FLAG_MANDATORY, argc == 4 ? 2 : 0, cd);
  hid_t dset = ok < 0 ? -1 : H5Dcreate2(file, "from_c", H5T_STD_I32LE, space, H5P_DEFAULT, dcpl, H5P_DEFAULT);
  if (dset >= 0) ok = H5Dwrite(dset, H5T_NATIVE_INT, H5S_ALL, H5S_ALL, H5P_DEFAULT, values);
  const int failed = file < 0 || dset < 0 || ok < 0;
  if (dset >= 0) H5Dclose(dset);
  H5Pclose(dcpl);
  H5Sclose(space);
  if (file >= 0 && H5Fclose(file) < 0) return 1;
  return failed;
}

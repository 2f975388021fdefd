// The C example built as C++: the public headers declare everything extern "C", so a C++
// program includes and links them exactly as a C program does.
#include "inquire_queues.c"

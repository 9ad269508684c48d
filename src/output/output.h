// Result output, Qt-free: it only writes. The number rule (number_format.h),
// the result file (result_file.h), the results table (results_table.h), GBK
// text (gbk.h) and safe file writing (file_writer.h).
#pragma once

#include "output/file_writer.h"
#include "output/gbk.h"
#include "output/progress.h"
#include "output/result_file.h"
#include "output/results_table.h"
#include "solver/number_format.h"

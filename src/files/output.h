// Result output, Qt-free: it only writes. The number rule (number_format.h),
// the result file (result_file.h), the results table (results_table.h), GBK
// text (gbk.h) and safe file writing (file_writer.h).
#pragma once

#include "files/file_writer.h"
#include "files/gbk.h"
#include "files/progress.h"
#include "files/result_file.h"
#include "files/results_table.h"
#include "format/number_format.h"

// Resource numbers: keys into the suite's table of accepted resources and
// the entries of the lists a program passes to RES_init. The numbers are
// fixed across the suite.
#pragma once

enum res_type {
    RES_null = 0,
    RES_batch = 3,
    RES_city_file = 6,
    RES_command = 33,
    RES_cd = 34,
    RES_con_path = 39,
    RES_current = 40,
    RES_data_path = 41,
    RES_decode_hour = 45,
    RES_file_param = 47,
    RES_file_path = 48,
    RES_filename = 49,
    RES_filenames = 50,
    RES_grid_path = 55,
    RES_help = 57,
    RES_hour = 58,
    RES_identifier = 60,
    RES_image_path = 63,
    RES_in_file = 64,
    RES_in_file2 = 65,
    RES_input = 68,
    RES_message = 73,
    RES_name_conv = 76,
    RES_num_hour = 78,
    RES_out_file = 80,
    RES_output = 82,
    RES_parameter = 83,
    RES_raw_path = 94,
    RES_stat_prior = 98,
    RES_value = 104,
    RES_watch_path = 106,
    RES_input2 = 111,
    RES_text_path = 112,
    RES_model_path = 113,
    RES_sat_path = 114
};

# Marker formats: TRC and C3D read and written at 100 markers, beside plain
# passes over the same bytes (std::from_chars / std::to_chars, fread / fwrite).
if(TARGET zeq_formats)
  zeq_add_bench(bench_marker SOURCES marker_bench.cpp LIBS zeq_formats)
endif()

// Placeholder translation unit until the string utilities land.

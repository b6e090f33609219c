# What the core's installed targets need: ICU (Unicode data, case mappings, code pages).
find_dependency(ICU COMPONENTS uc i18n data)

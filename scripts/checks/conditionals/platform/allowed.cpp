// In a platform folder a Windows condition is in its place.
#ifdef _WIN32
#endif

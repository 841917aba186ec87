// Ends at once with exit code 0, doing nothing: the install test puts it in the place of schtasks.exe,
// as a schtasks that reports success without making the task.
int main() {
  return 0;
}

// Runs epubcheck on every book named, in one Java start (starting Java and epubcheck takes
// longer than checking a small book). Prints epubcheck's own report for each; the exit code is
// 1 when any book has an error.
//
//   java -cp epubcheck.jar CheckBooks.java BOOK...
public class CheckBooks {
    public static void main(String[] books) {
        int failed = 0;
        for (String book : books) {
            if (new com.adobe.epubcheck.tool.EpubChecker().run(new String[] {book}) != 0)
                failed++;
        }
        System.exit(failed == 0 ? 0 : 1);
    }
}
